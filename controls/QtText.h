#pragma once
// Texts of the core are UTF-8 bytes; Qt's are UTF-16. A text that is not valid UTF-8
// (a file name, most often) must come back from an edit or a view byte for byte, so
// every byte outside UTF-8 travels as U+DC80 plus the byte.
#include <QString>
#include <string>

QString BytesToText(const std::string& Bytes);
std::string TextToBytes(const QString& Text);

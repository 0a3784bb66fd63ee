#include "controls/QtText.h"

#include "platform/TextCodec.h"

QString BytesToText(const std::string& Bytes) { return QString::fromStdU16String(Utf8ToUtf16Lossy(Bytes)); }

std::string TextToBytes(const QString& Text) { return Utf16ToUtf8(Text.toStdU16String()); }

#pragma once
// Where the main window was and how it was divided, kept per user in section
// "Window" of the settings file, beside the log settings.
#include <QByteArray>
#include <QList>

struct TWindowSettings {
  QByteArray Geometry;       // QWidget::saveGeometry; empty: never saved
  QList<int> SplitterSizes;  // list, log
  QList<int> ColumnWidths;   // one per column of the list; 0: the column fits its contents
};

// A missing or unreadable file, or a value that does not parse, gives the empty field.
TWindowSettings LoadWindowSettings();
// Raises EBriskoError when the settings file cannot be written.
void SaveWindowSettings(const TWindowSettings& Settings);

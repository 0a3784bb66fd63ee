#include "app/WindowSettings.h"

#include <QString>
#include <QStringList>

#include "app/AppData.h"
#include "app/LogFile.h"

namespace {

constexpr const char* Section = "Window";

QList<int> ParseNumbers(const std::string& Text) {
  QList<int> numbers;
  if (Text.empty()) return numbers;
  for (const QString& part : QString::fromStdString(Text).split(u',')) {
    bool ok = false;
    const int number = part.trimmed().toInt(&ok);
    if (!ok || number < 0) return {};
    numbers.append(number);
  }
  return numbers;
}

std::string JoinNumbers(const QList<int>& Numbers) {
  QStringList parts;
  for (int number : Numbers) parts.append(QString::number(number));
  return parts.join(u',').toStdString();
}

}  // namespace

TWindowSettings LoadWindowSettings() {
  TAppIniFile ini(SettingsFileName());
  TWindowSettings settings;
  settings.Geometry = QByteArray::fromBase64(QByteArray::fromStdString(ini.ReadString(Section, "Geometry", "")));
  settings.SplitterSizes = ParseNumbers(ini.ReadString(Section, "Splitter", ""));
  settings.ColumnWidths = ParseNumbers(ini.ReadString(Section, "Columns", ""));
  return settings;
}

void SaveWindowSettings(const TWindowSettings& Settings) {
  TAppIniFile ini(SettingsFileName());
  ini.BeginUpdate();
  ini.WriteString(Section, "Geometry", Settings.Geometry.toBase64().toStdString());
  ini.WriteString(Section, "Splitter", JoinNumbers(Settings.SplitterSizes));
  ini.WriteString(Section, "Columns", JoinNumbers(Settings.ColumnWidths));
  ini.UpdateFile();
}

#include "app/BriskoApplication.h"

#include <QDir>
#include <QIcon>
#include <cstdio>
#include <exception>

TBriskoApplication::TBriskoApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
  setDesktopFileName(u"brisko"_qs);
  ChooseIconTheme();
  setWindowIcon(QIcon::fromTheme(u"edit-delete"_qs));
}

bool TBriskoApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& error) {
    ShowError(QString::fromUtf8(error.what()));
  } catch (...) {
    ShowError(u"unknown error"_qs);
  }
  return false;
}

void TBriskoApplication::ShowError(const QString& Message) {
  if (OnError) {
    OnError(Message);
    return;
  }
  std::fprintf(stderr, "brisko: %s\n", Message.toLocal8Bit().constData());
}

void ChooseIconTheme() {
  QString theme = QIcon::themeName();
  if (!theme.isEmpty() && theme != u"hicolor") return;
  for (const QString& path : QIcon::themeSearchPaths()) {
    if (QDir(path + u"/Adwaita"_qs).exists()) {
      QIcon::setThemeName(u"Adwaita"_qs);
      return;
    }
  }
}

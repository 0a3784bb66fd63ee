#include "app/BriskoApplication.h"

#include <QDir>
#include <QIcon>
#include <cstdio>
#include <exception>

#include "app/Translations.h"

TBriskoApplication::TBriskoApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
  // The resources live in a static library, whose initialiser nothing else pulls in.
  Q_INIT_RESOURCE(brisko);
  setDesktopFileName(u"brisko"_qs);
  ChooseIconTheme();
  // The installed theme's icon where there is one; the bundled drawing otherwise,
  // so a program run from its build folder looks the same.
  setWindowIcon(QIcon::fromTheme(u"brisko"_qs, QIcon(u":/brisko.svg"_qs)));
}

bool TBriskoApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (...) {
    ShowError(ErrorText(CurrentError()));
  }
  return false;
}

void TBriskoApplication::ShowError(const QString& Message) {
  if (OnError) {
    OnError(Message);
    return;
  }
  // As every other message: UTF-8 whatever the locale, so that no name turns into "?".
  std::fprintf(stderr, "brisko: %s\n", Message.toUtf8().constData());
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

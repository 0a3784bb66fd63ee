// Brisko: deletes files by rule, in a window or unattended from a scheduler.
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "app/BRISK_Main.h"
#include "app/BriskoApplication.h"
#include "app/CommandLine.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"

#ifndef BRISKO_VERSION
#define BRISKO_VERSION "unknown"
#endif

namespace {
void QuietMessages(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
  if (Type == QtCriticalMsg || Type == QtFatalMsg) std::fprintf(stderr, "brisko: %s\n", qPrintable(Message));
}
}  // namespace

int main(int argc, char** argv) {
  TCommandLine early = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (early.Help) {
    std::fputs(CommandLineUsage().c_str(), stdout);
    return 0;
  }
  if (early.Version) {
    std::printf("brisko %s\n", BRISKO_VERSION);
    return 0;
  }
  bool headless = !HasDisplay();
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (headless && !(platform && *platform)) {
    if (!early.Run) {
      std::fputs("brisko: needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
                 "        run a pattern without one with: brisko -R PATTERN.rmp\n",
                 stderr);
      return 2;
    }
    // A scheduled run: the same program, with a window nobody sees.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  // A scheduler mails whatever a job prints: only real errors go to standard error.
  if (headless) qInstallMessageHandler(QuietMessages);

  TBriskoApplication app(argc, argv);
  QTranslator qtTexts;
  if (qtTexts.load(u"qtbase_ja"_qs, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) app.installTranslator(&qtTexts);

  TMainFormServices services;
  services.Headless = headless;
  // QApplication has taken its own options out of argv; the rest are ours, as bytes.
  TMainForm form(std::vector<std::string>(argv + 1, argv + argc), services);
  // The two dialogs live as long as the window, which owns them.
  form.SetDialogs(new TEditDialog(&form), new TConfigDialog(&form));
  app.OnError = [&form](const QString& Message) { form.ReportError(Message); };
  form.ShowInitial();
  int status = app.exec();
  app.OnError = nullptr;
  return status != 0 ? status : form.ExitCode();
}

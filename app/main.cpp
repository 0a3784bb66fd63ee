// Brisko: deletes files by rule, in a window or unattended from a scheduler.
#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/BRISK_Main.h"
#include "app/BriskoApplication.h"
#include "app/CommandLine.h"
#include "app/RunNotice.h"
#include "app/Translations.h"
#include "app/UnattendedRun.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"
#include "platform/StopSignals.h"

#ifndef BRISKO_VERSION
#define BRISKO_VERSION "unknown"
#endif

namespace {

void QuietMessages(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
  if (Type == QtCriticalMsg || Type == QtFatalMsg) std::fprintf(stderr, "brisko: %s\n", qPrintable(Message));
}

// The file an unattended run works on: the last one named decides the document.
std::string LastFile(const TCommandLine& Line) { return Line.Files.empty() ? std::string() : Line.Files.back(); }

int RunWindow(char* Program, const std::vector<std::string>& Arguments, bool Headless, TTranslations& Texts) {
  // A signal ends a run and closes the window; the watcher exists before any thread.
  // One that comes before the window exists is taken up once it does (Received).
  QPointer<TMainForm> target;
  std::atomic<QCoreApplication*> application{nullptr};
  TStopSignals stopSignals([&target, &application](int Signal) {
    if (QCoreApplication* app = application.load())
      QMetaObject::invokeMethod(app, [&target, Signal] {
        if (target) target->EndBySignal(Signal);
      }, Qt::QueuedConnection);
  });
  // The toolkit gets the program's name alone: every argument is ours, read by our
  // rules, so "-reverse" or "-session" never change what Qt does or hide a pattern.
  int argc = 1;
  char* argv[] = {Program, nullptr};
  TBriskoApplication app(argc, argv);
  application = &app;
  Texts.Install();

  TMainFormServices services;
  services.Headless = Headless;
  TMainForm form(Arguments, services);
  // The two dialogs live as long as the window, which owns them.
  form.SetDialogs(new TEditDialog(&form), new TConfigDialog(&form));
  app.OnError = [&form](const QString& Message) { form.ReportError(Message); };
  target = &form;
  if (const int signal = stopSignals.Received()) form.EndBySignal(signal);
  form.ShowInitial();
  int status = app.exec();
  application = nullptr;
  app.OnError = nullptr;
  return status != 0 ? status : form.ExitCode();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const TCommandLine line = ParseCommandLine(arguments);
  if (line.Help) {
    std::fputs(CommandLineUsage().c_str(), stdout);
    return esSuccess;
  }
  if (line.Version) {
    std::printf("brisko %s\n", BRISKO_VERSION);
    return esSuccess;
  }
  if (line.Test) {
    if (line.Files.size() != 1 || line.Run) {
      std::fputs("brisko: --test takes one pattern file: brisko --test PATTERN.rmp\n", stderr);
      return esUsage;
    }
    const TTranslations texts(LanguageOfEnvironment());
    return RunUnattended(ResolvePatternArgument(line.Files.back()), true, texts.Wording());
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool headless = !HasDisplay();
  if (headless && !(platform && *platform)) {
    if (!line.Run) {
      std::fputs("brisko: needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
                 "        run a pattern without one with: brisko -R PATTERN.rmp\n"
                 "        or try it first with:          brisko --test PATTERN.rmp\n",
                 stderr);
      return esUsage;
    }
    // A scheduled run: no window at all; a notice when it did not end well.
    const TTranslations texts(LanguageOfEnvironment());
    const std::string pattern = ResolvePatternArgument(LastFile(line));
    const int status = RunUnattended(pattern, false, texts.Wording());
    SendRunNotice(pattern, status, texts);
    return status;
  }
  // A scheduler mails whatever a job prints: only real errors go to standard error.
  if (headless) qInstallMessageHandler(QuietMessages);
  TTranslations texts(LanguageOfEnvironment());
  return RunWindow(argv[0], arguments, headless, texts);
}

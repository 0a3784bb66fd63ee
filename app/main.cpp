// Brisko: deletes files by rule, in a window or unattended from a scheduler.
#include <QMetaObject>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "app/BRISK_Main.h"
#include "app/BriskoApplication.h"
#include "app/CommandLine.h"
#include "app/RunNotice.h"
#include "app/RunRecord.h"
#include "app/Translations.h"
#include "app/UnattendedRun.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"
#include "platform/StopSignals.h"
#include "platform/TextCodec.h"

#ifndef BRISKO_VERSION
#define BRISKO_VERSION "unknown"
#endif

namespace {

void QuietMessages(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
  if (Type == QtCriticalMsg || Type == QtFatalMsg) std::fprintf(stderr, "brisko: %s\n", qPrintable(Message));
}

void PrintMessage(const std::string& Message) {
  std::fprintf(stderr, "brisko: %s\n", Message.c_str());
  std::fflush(stderr);
}

// For the tests: the program stops itself where a signal must be taken up although
// no window exists yet, and goes on when they have sent theirs (SIGCONT).
void TestHook(const char* Where) {
  const char* hook = std::getenv("BRISKO_TEST_HOOK");
  if (hook && std::strcmp(hook, Where) == 0) raise(SIGSTOP);
}

int RunWindow(char* Program, const std::vector<std::string>& Arguments, bool Headless, TTranslations& Texts,
              TStopSignals& Signals, bool Verbose) {
  // The toolkit gets the program's name alone: every argument is ours, read by our
  // rules, so "-reverse" or "-session" never change what Qt does or hide a pattern.
  int argc = 1;
  char* argv[] = {Program, nullptr};
  TBriskoApplication app(argc, argv);
  Texts.Install();
  TestHook("before-window");

  TMainFormServices services;
  services.Headless = Headless;
  services.Verbose = Verbose;
  TMainForm form(Arguments, services);
  // The two dialogs live as long as the window, which owns them.
  form.SetDialogs(new TEditDialog(&form), new TConfigDialog(&form));
  app.OnError = [&form](const QString& Message) { form.ReportError(Message); };
  // A signal ends a run and closes the window, through the window's own queue: a
  // call still queued when the window goes is dropped with it. One that came while
  // the toolkit started ends the program before anything is shown or run.
  const int early = Signals.Forward([&form](int Signal) {
    NoteStopSignal(Signal);  // a wait for the log's lock gives up at once
    QMetaObject::invokeMethod(&form, [&form, Signal] { form.EndBySignal(Signal); }, Qt::QueuedConnection);
  });
  int status = early ? 128 + early : 0;
  if (!early) {
    form.ShowInitial();
    status = app.exec();
  }
  Signals.Forward(nullptr);
  app.OnError = nullptr;
  // A signal that came as the window closed was never taken up by it.
  if (const int signal = Signals.Received()) return 128 + signal;
  return status != 0 ? status : form.ExitCode();
}

// The run switch or the test without one pattern file to read: the status, or -1.
int PatternFault(const TCommandLine& Line, std::string& Pattern) {
  if (Line.Files.empty() || (Line.Test && Line.Files.size() != 1)) {
    PrintMessage(Say(QT_TRANSLATE_NOOP("TRunText", "%1 にはパターンファイルを 1 つ指定します: brisko %1 パターン.rmp"),
                     {Line.Test ? "-n" : "-R"}));
    return esUsage;
  }
  Pattern = ResolvePatternArgument(Line.Files.back());
  const std::string fault = PatternFileFault(Pattern);
  if (fault.empty()) return -1;
  PrintMessage(Say(QT_TRANSLATE_NOOP("TRunText", "'%1' を開けません: %2"), {EscapeBytes(Pattern), fault}));
  return esError;
}

}  // namespace

int main(int argc, char** argv) {
  // First of all, so that no signal is lost whatever is starting; a watch that cannot
  // be set up is told of once the arguments are known to ask for a run or a window.
  std::optional<TStopSignals> stopSignals;
  std::string signalsFault;
  try {
    stopSignals.emplace();
  } catch (const std::system_error& error) {
    signalsFault = error.what();
  }
  TTranslations texts(LanguageOfEnvironment());
  SetTextWording(texts.TextWording());

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const TCommandLine line = ParseCommandLine(arguments);
  // Nothing is done on arguments that are not all understood: "--dry-run" mistyped
  // must not become a real run.
  if (!line.Unrecognized.empty()) {
    std::fprintf(stderr, "%s\n", UnrecognizedOptionMessage(line.Unrecognized).c_str());
    return esUsage;
  }
  if (line.Help) {
    std::fputs(CommandLineUsage().c_str(), stdout);
    return esSuccess;
  }
  if (line.Version) {
    std::printf("brisko %s\n", BRISKO_VERSION);
    return esSuccess;
  }
  std::string pattern;
  if (line.Run || line.Test) {
    if (const int status = PatternFault(line, pattern); status >= 0) return status;
  }
  if (!stopSignals) {
    PrintMessage(Say(QT_TRANSLATE_NOOP("TRunText", "シグナルを監視できません: %1"), {signalsFault}));
    return esError;
  }
  if (line.Test) {
    TRunOutput output(true, true);
    return RunUnattended(pattern, true, *stopSignals, output, texts.Wording());
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool platformChosen = platform && *platform;
  bool headless = !HasDisplay();
  // A display left in the environment of a scheduled job after its session ended.
  if (line.Run && !headless && !platformChosen && !DisplayOpens()) {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!(display && *display)) display = std::getenv("DISPLAY");
    PrintMessage(Say(QT_TRANSLATE_NOOP("TRunText", "警告: ディスプレイ '%1' を開けないため、ウィンドウなしで実行します"),
                     {display}));
    headless = true;
  }
  // The window needs the display: say so rather than let the toolkit abort.
  if (!line.Run && !headless && !platformChosen && !DisplayOpens()) {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!(display && *display)) display = std::getenv("DISPLAY");
    PrintMessage(Say(QT_TRANSLATE_NOOP("TRunText", "ディスプレイ '%1' を開けません"), {display}));
    return esError;
  }
  // With -v a reader that leaves ends the run as a failed write does, at the next
  // entry with its record kept, rather than killing it in the middle.
  TRunOutput output(line.Verbose, line.Verbose);
  if (line.Run && line.Verbose) signal(SIGPIPE, SIG_IGN);
  if (headless && !platformChosen) {
    if (!line.Run) {
      std::fputs(Say(QT_TRANSLATE_NOOP("TRunText",
                                       "brisko: ウィンドウにはディスプレイが要ります（DISPLAY も WAYLAND_DISPLAY もありません）。\n"
                                       "        ディスプレイなしでパターンを実行するには: brisko -R パターン.rmp\n"
                                       "        その前に試すには:                         brisko -n パターン.rmp\n"))
                     .c_str(),
                 stderr);
      return esUsage;
    }
    // A scheduled run: no window at all; a notice when it did not end well. The
    // notice's process is forked: no other thread may be running then.
    const int status = RunUnattended(pattern, false, *stopSignals, output, texts.Wording());
    stopSignals.reset();
    SendRunNotice(pattern, status, texts);
    return status;
  }
  // A scheduler mails whatever a job prints: only real errors go to standard error.
  if (headless) qInstallMessageHandler(QuietMessages);
  return RunWindow(argv[0], arguments, headless, texts, *stopSignals, line.Run && line.Verbose);
}

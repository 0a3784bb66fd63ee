// The built program as a scheduler starts it: no display, no session bus, HOME set.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <ctime>
#include <set>

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "app/PatternFile.h"
#include "support/TestSupport.h"

namespace {

struct TResult {
  int ExitCode = -1;
  QString Out, Err;
  bool Finished = false;
};

void SetAge(const std::string& Path, int Days) {
  struct utimbuf times;
  times.actime = times.modtime = std::time(nullptr) - Days * 86400L;
  utime(Path.c_str(), &times);
}

// Sets or clears the immutable flag; false where the file system or the user cannot.
bool SetImmutable(const std::string& Path, bool On) {
  const int fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = On ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return done;
}

// The paths named by the result lines of a log file.
std::set<std::string> LoggedPaths(const std::string& Log) {
  std::set<std::string> paths;
  size_t start = 0;
  while (start < Log.size()) {
    size_t end = Log.find('\n', start);
    if (end == std::string::npos) end = Log.size();
    std::string line = Log.substr(start, end - start);
    if (line.ends_with('\r')) line.pop_back();
    const size_t code = line.find(" 0x");
    if (code != std::string::npos) paths.insert(line.substr(line.find(' ', code + 3) + 1));
    start = end + 1;
  }
  return paths;
}

// The state letter of /proc/PID/stat: 'T' once the process has stopped.
char ProcessState(pid_t Pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(Pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
}

}  // namespace

class TUnattendedTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> FHome;

  static QString Program() { return QDir(QCoreApplication::applicationDirPath()).filePath(u"../brisko"_qs); }

  // A cron-like environment: HOME and PATH, nothing of a desktop.
  QProcessEnvironment CronEnvironment() const {
    QProcessEnvironment env;
    env.insert(u"HOME"_qs, QString::fromStdString(FHome->Path()));
    env.insert(u"PATH"_qs, u"/usr/bin:/bin"_qs);
    env.insert(u"LANG"_qs, u"C.UTF-8"_qs);
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_qs, u"unix:path=/nonexistent/bus"_qs);
    return env;
  }

  TResult Run(const QStringList& Arguments, const QProcessEnvironment& Environment) {
    QProcess process;
    process.setProcessEnvironment(Environment);
    process.start(Program(), Arguments);
    TResult result;
    if (!process.waitForStarted(10000)) return result;
    result.Finished = process.waitForFinished(60000);
    if (!result.Finished) {
      process.kill();
      process.waitForFinished();
    }
    result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }

  std::string LogName() const { return FHome->Path() + "/.local/state/Quillmoor/Brisko/Brisko.log"; }

  void WriteSettings(bool Save) {
    std::string folder = FHome->Path() + "/.config/Quillmoor/Brisko";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/Brisko.ini", std::string("[Log]\r\nSave=") + (Save ? "1" : "0") + "\r\n");
  }

private slots:
  void initTestCase() {
    QVERIFY2(QFileInfo::exists(Program()), qPrintable(Program()));
    FHome = std::make_unique<TTempDir>();
  }

  void helpAndVersionNeedNoDisplay() {
    TResult help = Run({u"--help"_qs}, CronEnvironment());
    QCOMPARE(help.ExitCode, 0);
    QVERIFY(help.Out.contains(u"-R"_qs));
    TResult version = Run({u"--version"_qs}, CronEnvironment());
    QCOMPARE(version.ExitCode, 0);
    QVERIFY(version.Out.startsWith(u"brisko "_qs));
  }

  void withoutDisplayOrRunSwitchItRefuses() {
    TResult result = Run({}, CronEnvironment());
    QVERIFY(result.Finished);
    QVERIFY(result.ExitCode != 0);
    QVERIFY(result.Err.contains(u"display"_qs));
  }

  void withoutDisplayAnEmptyPatternFailsInsteadOfHanging() {
    TResult result = Run({u"-R"_qs, QString::fromStdString(*FHome / "missing.rmp")}, CronEnvironment());
    QVERIFY(result.Finished);
    QVERIFY(result.ExitCode != 0);
    QVERIFY(result.Err.contains(u"missing.rmp"_qs));
  }

  void scheduledRunDeletesDueFilesAndAppendsTheLog() {
    std::string folder = *FHome / "junk";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    WriteFile(folder + "/new.tmp", "x");
    WriteFile(folder + "/old.txt", "x");
    SetAge(folder + "/old.tmp", 30);
    SetAge(folder + "/old.txt", 30);
    SavePattern(*FHome / "daily.rmp", {{folder, "*.tmp", "", "M+7", "", ""}});
    WriteSettings(true);
    QDir().mkpath(QFileInfo(QString::fromStdString(LogName())).path());
    WriteFile(LogName(), "earlier line\r\n");

    // A relative pattern name from the job's working folder.
    QProcessEnvironment env = CronEnvironment();
    QDir::setCurrent(QString::fromStdString(FHome->Path()));
    TResult result = Run({u"-R"_qs, u"daily.rmp"_qs}, env);
    QVERIFY2(result.Finished, "the unattended run did not end");
    QCOMPARE(result.ExitCode, 0);
    QVERIFY2(result.Err.isEmpty(), qPrintable(result.Err));
    QVERIFY(!Exists(folder + "/old.tmp"));
    QVERIFY(Exists(folder + "/new.tmp"));
    QVERIFY(Exists(folder + "/old.txt"));
    std::string log = ReadFile(LogName());
    QVERIFY2(log.rfind("earlier line\n", 0) == 0, log.c_str());
    QVERIFY2(log.find(" RM 0x0000 " + folder + "/old.tmp\n") != std::string::npos, log.c_str());
    QVERIFY(log.find("new.tmp") == std::string::npos);
  }

  // Every argument is ours: the toolkit's own options neither hide the pattern nor
  // change the run ("-reverse" is the run switch by our rule: it begins with "-r").
  // Any other argument beginning with "-" is refused before anything is done, in
  // any position and whether a window could open or not; -n makes -R a test.
  void argumentsAreOursAndUnknownOnesRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("removed");
    QTest::newRow("-reverse") << QStringList{u"-reverse"_qs} << false << 0 << true;
    QTest::newRow("-session") << QStringList{u"-R"_qs, u"-session"_qs} << false << 2 << false;
    QTest::newRow("-style") << QStringList{u"-R"_qs, u"-style"_qs, u"Fusion"_qs} << false << 2 << false;
    QTest::newRow("-platform") << QStringList{u"-R"_qs, u"-platform"_qs, u"xcb"_qs} << true << 2 << false;
    QTest::newRow("--bogus first") << QStringList{u"--bogus"_qs, u"-R"_qs} << false << 2 << false;
    QTest::newRow("-N last, window") << QStringList{u"-R"_qs, u"-N"_qs} << true << 2 << false;
    QTest::newRow("--bogus, no -R, window") << QStringList{u"--bogus"_qs} << true << 2 << false;
    QTest::newRow("-n -R") << QStringList{u"-R"_qs, u"-n"_qs} << false << 0 << false;
    QTest::newRow("--dry-run -R, window") << QStringList{u"--dry-run"_qs, u"-R"_qs} << true << 0 << false;
    QTest::newRow("--test") << QStringList{u"--test"_qs} << false << 0 << false;
  }
  void argumentsAreOursAndUnknownOnesRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);
    QFETCH(int, status);
    QFETCH(bool, removed);
    const std::string folder = *FHome / "args";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    SetAge(folder + "/old.tmp", 30);
    SavePattern(*FHome / "args.rmp", {{folder, "*.tmp", "", "M+7", "", ""}});
    WriteSettings(true);
    std::remove(LogName().c_str());
    QProcessEnvironment env = CronEnvironment();
    if (window) env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    TResult result = Run(arguments << QString::fromStdString(*FHome / "args.rmp"), env);
    QVERIFY2(result.Finished, "the program did not end");
    QCOMPARE(result.ExitCode, status);
    QCOMPARE(!Exists(folder + "/old.tmp"), removed);
    if (status == 2) {
      QVERIFY2(result.Err.startsWith(u"brisko: unrecognized option '"_qs) &&
                   result.Err.endsWith(u"'\nTry 'brisko --help' for more information.\n"_qs),
               qPrintable(result.Err));
      QVERIFY(result.Out.isEmpty() && !Exists(LogName()));
    } else if (!removed) {
      QCOMPARE(result.Out.count(u" TE 0x0000 "_qs), 1);
    }
  }

  // The lines of -v are the log's lines, and the summary's figures are what went:
  // without a display and in the window; a test says what would go.
  void verboseLinesAndSummaryTellWhatWasDone_data() {
    QTest::addColumn<QString>("switches");
    QTest::addColumn<bool>("window");
    QTest::newRow("-R -v") << u"-R -v"_qs << false;
    QTest::newRow("-R --verbose, window") << u"-R --verbose"_qs << true;
    QTest::newRow("-n") << u"-n"_qs << false;
  }
  void verboseLinesAndSummaryTellWhatWasDone() {
    QFETCH(QString, switches);
    QFETCH(bool, window);
    const bool testRun = switches == u"-n";
    const std::string folder = *FHome / "verbose";
    QDir(QString::fromStdString(folder)).removeRecursively();
    QDir().mkpath(QString::fromStdString(folder));
    // Whole pages of data, so that the space they take is their size.
    uint64_t bytes = 0;
    for (int i = 1; i <= 3; ++i) {
      WriteFile(folder + "/" + std::to_string(i) + ".tmp", std::string(4096 * i * 7, 'x'));
      SetAge(folder + "/" + std::to_string(i) + ".tmp", 30);
      bytes += 4096 * i * 7;
    }
    WriteFile(folder + "/new.tmp", "x");
    // A folder due whole: a Test counts it as itself only and says its figure is a
    // floor; the Run counts what it held as well.
    QDir().mkpath(QString::fromStdString(folder + "/old"));
    WriteFile(folder + "/old/inside", std::string(4096 * 3, 'x'));
    SetAge(folder + "/old", 30);
    auto allocated = [](const std::string& Path) {
      struct stat st {};
      return lstat(Path.c_str(), &st) == 0 ? uint64_t(st.st_blocks) * 512 : 0;
    };
    bytes += allocated(folder + "/old") + (testRun ? 0 : allocated(folder + "/old/inside"));
    SavePattern(*FHome / "verbose.rmp", {{folder, "*.tmp", "", "M+7", "", ""}, {folder, "old", "", "M+7", "D", "T"}});
    WriteSettings(true);
    std::remove(LogName().c_str());
    QProcessEnvironment env = CronEnvironment();
    if (window) env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    TResult result = Run(switches.split(u' ') << QString::fromStdString(*FHome / "verbose.rmp"), env);
    QVERIFY2(result.Finished, "the program did not end");
    QCOMPARE(result.ExitCode, 0);
    QCOMPARE(result.Out.count(u'\n'), 4);
    QCOMPARE(Exists(folder + "/2.tmp"), testRun);
    if (!testRun) QCOMPARE(result.Out, QString::fromStdString(ReadFile(LogName())).replace(u"\r\n"_qs, u"\n"_qs));
    const QString figures = testRun ? u"Test: 4 entries, 0 of them to the trash, at least %1 would be freed, 0 failed\n"_qs
                                    : u"Run: 4 entries removed, 0 of them moved to the trash, %1 freed, 0 failed\n"_qs;
    QCOMPARE(result.Err, figures.arg(QString::fromStdString(DataSizeText(bytes))));
  }

  // A pattern file that cannot be acted on ends the program before anything is
  // removed, with a status a script can tell from a failed run; so does a signal
  // watch that cannot be set up (no descriptor left for it).
  void startFaultsEndBeforeAnything_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString missing = QString::fromStdString(*FHome / "missing.rmp");
    QTest::newRow("no file") << QStringList{u"-R"_qs} << 2 << u"brisko: -R takes one pattern file"_qs;
    QTest::newRow("no file, test") << QStringList{u"--test"_qs} << 2 << u"brisko: -n takes one pattern file"_qs;
    QTest::newRow("missing") << QStringList{u"-R"_qs, missing} << 1
                             << u"brisko: cannot open '%1': No such file or directory\n"_qs.arg(missing);
    QTest::newRow("a folder") << QStringList{u"-n"_qs, QString::fromStdString(FHome->Path())} << 1
                              << u"brisko: cannot open '%1': Is a directory\n"_qs.arg(QString::fromStdString(FHome->Path()));
    QTest::newRow("no item") << QStringList{u"-R"_qs, QString::fromStdString(*FHome / "blank.rmp")} << 1
                             << u"has no item to run"_qs;
    QTest::newRow("no descriptor for signals") << QStringList{u"limit"_qs, u"-R"_qs, QString::fromStdString(*FHome / "faults.rmp")}
                                               << 1 << u"brisko: cannot watch for signals: "_qs;
  }
  void startFaultsEndBeforeAnything() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const std::string folder = *FHome / "faults";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    SavePattern(*FHome / "faults.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    WriteFile(*FHome / "blank.rmp", "; nothing here\r\n");
    WriteSettings(false);
    TResult result;
    if (arguments.first() == u"limit") {
      // Standard input, output and error and the first of the watch's two take the
      // four descriptors allowed; whatever else the test inherited goes at exec.
      QProcess process;
      process.setProcessEnvironment(CronEnvironment());
      process.setChildProcessModifier([] {
        for (int fd = 3; fd < 1024; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
        const rlimit four{4, 4};
        setrlimit(RLIMIT_NOFILE, &four);
      });
      process.start(Program(), arguments.mid(1));
      QVERIFY(process.waitForFinished(60000));
      result = {process.exitCode(), QString(), QString::fromUtf8(process.readAllStandardError()), true};
    } else {
      result = Run(arguments, CronEnvironment());
    }
    QVERIFY2(result.Finished, "the program did not end");
    QCOMPARE(result.ExitCode, status);
    QVERIFY2(result.Err.contains(message), qPrintable(result.Err));
    QVERIFY(Exists(folder + "/old.tmp"));
  }

  // A test whose list does not reach standard output whole fails: a full disk, a
  // reader gone while SIGPIPE is ignored (as under many supervisors).
  void testFailsWhenItsOutputIsLost_data() {
    QTest::addColumn<bool>("pipe");
    QTest::newRow("/dev/full") << false;
    QTest::newRow("closed pipe") << true;
  }
  void testFailsWhenItsOutputIsLost() {
    QFETCH(bool, pipe);
    const std::string folder = *FHome / "output";
    QDir().mkpath(QString::fromStdString(folder));
    for (int i = 0; i < 100; ++i) WriteFile(folder + "/" + std::to_string(i) + ".tmp", "x");
    SavePattern(*FHome / "output.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    int ends[2];
    QVERIFY(pipe2(ends, O_CLOEXEC) == 0);
    close(ends[0]);  // nobody will ever read
    QProcess process;
    process.setProcessEnvironment(CronEnvironment());
    if (pipe) {
      const int writeEnd = ends[1];
      process.setChildProcessModifier([writeEnd] {
        signal(SIGPIPE, SIG_IGN);
        dup2(writeEnd, STDOUT_FILENO);
      });
    } else {
      process.setStandardOutputFile(u"/dev/full"_qs);
    }
    process.start(Program(), {u"-n"_qs, QString::fromStdString(*FHome / "output.rmp")});
    QVERIFY(process.waitForFinished(60000));
    close(ends[1]);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains(u"brisko: cannot write to standard output: "_qs), qPrintable(err));
    QVERIFY(Exists(folder + "/0.tmp"));
  }

  // The same texts in Japanese under a Japanese locale, through the window's own
  // translations; in English otherwise.
  void wordingFollowsTheLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("onStandardError");
    QTest::addColumn<QString>("expected");
    const QString pattern = QString::fromStdString(*FHome / "words.rmp");
    const QString missing = QString::fromStdString(*FHome / "no-such-folder");
    QTest::newRow("help ja") << u"ja_JP.UTF-8"_qs << QStringList{u"--help"_qs} << false << u"使い方: brisko"_qs;
    QTest::newRow("help en") << u"en_US.UTF-8"_qs << QStringList{u"-h"_qs} << false << u"Usage: brisko"_qs;
    QTest::newRow("refusal ja") << u"ja_JP.UTF-8"_qs << QStringList{u"-x"_qs} << true
                                << u"brisko: '-x' は不明なオプションです\n"_qs;
    QTest::newRow("summary ja") << u"ja_JP.UTF-8"_qs << QStringList{u"-n"_qs, pattern} << true
                                << u"テスト: 0 件、うちごみ箱へ 0 件、解放される容量 0 バイト、失敗 0 件\n"_qs;
    QTest::newRow("summary en") << u"C"_qs << QStringList{u"-n"_qs, pattern} << true
                                << u"Test: 0 entries, 0 of them to the trash, 0 bytes would be freed, 0 failed\n"_qs;
    QTest::newRow("warning ja") << u"ja_JP.UTF-8"_qs << QStringList{u"-R"_qs, pattern} << true
                                << u"brisko: 警告: フォルダ \"%1\" は存在しません\n"_qs.arg(missing);
    QTest::newRow("warning en") << u"en_GB.UTF-8"_qs << QStringList{u"-R"_qs, pattern} << true
                                << u"brisko: warning: the folder \"%1\" does not exist\n"_qs.arg(missing);
    QTest::newRow("no item ja") << u"ja_JP.UTF-8"_qs << QStringList{u"-R"_qs, QString::fromStdString(*FHome / "blank.rmp")}
                                << true << u"には実行するアイテムがありません\n"_qs;
  }
  void wordingFollowsTheLanguage() {
    QFETCH(QString, language);
    QFETCH(QStringList, arguments);
    QFETCH(bool, onStandardError);
    QFETCH(QString, expected);
    SavePattern(*FHome / "words.rmp", {{*FHome / "no-such-folder", "*", "", "M+0", "", ""}});
    WriteFile(*FHome / "blank.rmp", "");
    WriteSettings(false);
    QProcessEnvironment env = CronEnvironment();
    env.insert(u"LANG"_qs, language);
    TResult result = Run(arguments, env);
    QVERIFY2(result.Finished, "the program did not end");
    const QString& text = onStandardError ? result.Err : result.Out;
    QVERIFY2(text.contains(expected), qPrintable(text));
  }

  // A stale display (the server gone since the job took the session's environment):
  // -R runs as without one, and says so; the window alone ends with the reason.
  void runWithAStaleDisplayGoesHeadless() {
    const std::string folder = *FHome / "stale";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    SavePattern(*FHome / "stale.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    WriteSettings(false);
    QProcessEnvironment env = CronEnvironment();
    int display = 4000;
    while (QFileInfo::exists(u"/tmp/.X11-unix/X%1"_qs.arg(display))) ++display;
    env.insert(u"DISPLAY"_qs, u":%1"_qs.arg(display));
    TResult result = Run({u"-R"_qs, QString::fromStdString(*FHome / "stale.rmp")}, env);
    QVERIFY2(result.Finished, "the run did not end");
    QCOMPARE(result.ExitCode, 0);
    QVERIFY2(result.Err.contains(u"brisko: warning: cannot open the display ':%1'; running without a window"_qs.arg(display)),
             qPrintable(result.Err));
    QVERIFY(!Exists(folder + "/old.tmp"));
    // The window alone cannot go on: it says why and fails, rather than abort.
    result = Run({QString::fromStdString(*FHome / "stale.rmp")}, env);
    QVERIFY2(result.Finished, "the program did not end");
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Err.contains(u"brisko: cannot open the display ':%1'"_qs.arg(display)), qPrintable(result.Err));
  }

  // A SIGTERM that comes while the toolkit starts, before the window exists, ends
  // the program with 128 + 15 before anything is run. The program stops itself at
  // that moment (a test hook), so the signal is sent there, not by luck.
  void stopSignalBeforeTheWindowExists() {
    const std::string folder = *FHome / "early";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    SavePattern(*FHome / "early.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    WriteSettings(false);
    QProcess process;
    QProcessEnvironment env = CronEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    env.insert(u"BRISKO_TEST_HOOK"_qs, u"before-window"_qs);
    process.setProcessEnvironment(env);
    process.start(Program(), {u"-R"_qs, QString::fromStdString(*FHome / "early.rmp")});
    QVERIFY(process.waitForStarted(10000));
    const pid_t pid = pid_t(process.processId());
    QTRY_VERIFY_WITH_TIMEOUT(ProcessState(pid) == 'T', 30000);
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGCONT);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    QVERIFY(Exists(folder + "/old.tmp"));
  }

  // SIGTERM in the middle of a run stops it at the next entry, keeps the record of
  // every entry that went, and answers 128 + 15: without a window, and in one.
  void stopSignalKeepsTheRecordOfEveryRemovedEntry_data() {
    QTest::addColumn<bool>("window");
    QTest::newRow("no display") << false;
    QTest::newRow("window") << true;
  }
  void stopSignalKeepsTheRecordOfEveryRemovedEntry() {
    QFETCH(bool, window);
    const std::string base = QDir(u"/dev/shm"_qs).exists() ? "/dev/shm" : FHome->Path();
    const std::string folder = base + "/brisko-signal-" + std::to_string(getpid());
    QDir().mkpath(QString::fromStdString(folder));
    const int count = 50000;
    for (int i = 0; i < count; ++i) WriteFile(folder + "/" + std::to_string(i) + ".tmp", "");
    SavePattern(*FHome / "big.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    WriteSettings(true);
    WriteFile(FHome->Path() + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\nLinage=1000000\r\n");
    std::remove(LogName().c_str());

    const int watch = inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0 && inotify_add_watch(watch, folder.c_str(), IN_DELETE) >= 0);
    QProcess process;
    QProcessEnvironment env = CronEnvironment();
    if (window) env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    process.setProcessEnvironment(env);
    process.start(Program(), {u"-R"_qs, QString::fromStdString(*FHome / "big.rmp")});
    QVERIFY(process.waitForStarted(10000));
    pollfd ready{watch, POLLIN, 0};
    const bool deleting = poll(&ready, 1, 30000) == 1;  // the first removal
    ::kill(pid_t(process.processId()), SIGTERM);
    close(watch);
    QVERIFY(process.waitForFinished(60000));
    QVERIFY(deleting);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + SIGTERM);

    std::set<std::string> removed;
    for (int i = 0; i < count; ++i) {
      const std::string path = folder + "/" + std::to_string(i) + ".tmp";
      if (!Exists(path)) removed.insert(path);
    }
    QVERIFY(!removed.empty());
    QVERIFY2(removed.size() < size_t(count), "the run ended before the signal");
    QCOMPARE(LoggedPaths(ReadFile(LogName())), removed);
    QDir(QString::fromStdString(folder)).removeRecursively();
  }

  // What a script can act on: 3 and a summary when an entry could not be removed; a
  // warning naming a folder that does not exist; --test prints and removes nothing.
  void statusesAndMessagesTellWhatHappened() {
    const std::string folder = *FHome / "stuck";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/locked.tmp", "x");
    WriteFile(folder + "/free.tmp", "x");
    const std::string missing = *FHome / "no-such-folder";
    SavePattern(*FHome / "stuck.rmp", {{folder, "*.tmp", "", "M+0", "", ""}, {missing, "*", "", "M+0", "", ""}});
    WriteSettings(false);

    TResult test = Run({u"--test"_qs, QString::fromStdString(*FHome / "stuck.rmp")}, CronEnvironment());
    QCOMPARE(test.ExitCode, 0);
    QCOMPARE(test.Out.count(u" TE 0x0000 "_qs), 2);
    QVERIFY(test.Out.contains(QString::fromStdString(folder + "/locked.tmp\n")));
    QVERIFY(Exists(folder + "/free.tmp"));
    QVERIFY(test.Err.contains(u"warning"_qs) && test.Err.contains(QString::fromStdString(missing)));
    QVERIFY(!Exists(LogName()) || ReadFile(LogName()).find(" TE ") == std::string::npos);

    if (!SetImmutable(folder + "/locked.tmp", true)) QSKIP("no immutable files here");
    TResult run = Run({u"-R"_qs, QString::fromStdString(*FHome / "stuck.rmp")}, CronEnvironment());
    SetImmutable(folder + "/locked.tmp", false);
    QCOMPARE(run.ExitCode, 3);
    QVERIFY(!Exists(folder + "/free.tmp"));
    QVERIFY2(run.Err.contains(u"1 entry could not be removed"_qs) && run.Err.contains(u"locked.tmp"_qs),
             qPrintable(run.Err));
  }

  void workerErrorGivesAFailureStatus() {
    std::string folder = *FHome / "junk2";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/a.tmp", "x");
    // A lapsed-days text that does not parse ends the run with an error.
    SavePattern(*FHome / "broken.rmp", {{folder, "*.tmp", "", "M+x", "", ""}});
    WriteSettings(false);
    TResult result = Run({u"-R"_qs, QString::fromStdString(*FHome / "broken.rmp")}, CronEnvironment());
    QVERIFY(result.Finished);
    QVERIFY(result.ExitCode != 0);
    QVERIFY(!result.Err.isEmpty());
    QVERIFY(Exists(folder + "/a.tmp"));
  }

  // A pattern is used as written or not at all: a value with a NUL (which the system
  // would end there: ".." and then the parent's parent) or longer than the reader gives
  // back (cut after a "/", or losing the tail of an Except list) ends every kind of run
  // with a message naming the item, and nothing is listed or removed.
  void patternNotReadAsWrittenRemovesNothing_data() {
    QTest::addColumn<QString>("value");  // the case below
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window");
    for (const char* value : {"Location", "LongLocation", "Except"}) {
      const QString key = QString::fromLatin1(value);
      QTest::newRow(qPrintable(key + u" --test"_qs)) << key << QStringList{u"--test"_qs} << false;
      QTest::newRow(qPrintable(key + u" -R"_qs)) << key << QStringList{u"-R"_qs} << false;
      QTest::newRow(qPrintable(key + u" -R window"_qs)) << key << QStringList{u"-R"_qs} << true;
    }
  }
  void patternNotReadAsWrittenRemovesNothing() {
    QFETCH(QString, value);
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);
    const std::string base = *FHome / ("exact-" + std::to_string(std::rand()));
    QVERIFY(QDir().mkpath(QString::fromStdString(base + "/sub")));
    WriteFile(base + "/victim.tmp", "x");
    WriteFile(base + "/keep.important", "x");
    SetAge(base + "/victim.tmp", 30);
    SetAge(base + "/keep.important", 30);
    std::string location = base, mask = "*.tmp", except;
    if (value == u"Location") {
      location = base + "/sub/.." + std::string(1, '\0');
    } else if (value == u"LongLocation") {
      location = base + std::string(2047 - base.size(), '/') + "sub";
    } else {
      mask = "*.important";
      for (int i = 0; i < 1100; ++i) except += "x;";
      except += "*.important";
    }
    const std::string key = value == u"Except" ? "Except" : "Location";
    const std::string pattern = *FHome / "exact.rmp";
    WriteFile(pattern, "[Schedule0]\r\nLocation=" + location + "\r\nMask=" + mask + "\r\nExcept=" + except +
                           "\r\nLapsedDays=M+7\r\nAttribute=\r\nOption=\r\n");
    WriteSettings(false);
    QProcessEnvironment env = CronEnvironment();
    if (window) env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    TResult result = Run(arguments << QString::fromStdString(pattern), env);
    QVERIFY2(result.Finished, "the run did not end");
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Err.contains(QString::fromStdString("[Schedule0] " + key)), qPrintable(result.Err));
    QVERIFY2(!result.Out.contains(u" TE "_qs), qPrintable(result.Out));
    QVERIFY(Exists(base + "/victim.tmp"));
    QVERIFY(Exists(base + "/keep.important"));
  }

  // Root believes only settings that root alone can change: another user's folder
  // (sudo -E), file or link on the way, or a file others may write, ends the run,
  // without and with a window, before anything is removed or the log named there is
  // touched. Root's own settings work; a line limit of 0 is read as 256, with a warning.
  void rootTrustsOnlyRootsOwnSettings_data() {
    QTest::addColumn<QString>("hostile");
    QTest::addColumn<bool>("window");
    for (const char* hostile : {"folder", "file", "writable", "link", ""}) {
      const QString name = QString::fromLatin1(hostile);
      QTest::newRow(qPrintable(name + u" no display"_qs)) << name << false;
      QTest::newRow(qPrintable(name + u" window"_qs)) << name << true;
    }
  }
  void rootTrustsOnlyRootsOwnSettings() {
    QFETCH(QString, hostile);
    QFETCH(bool, window);
    if (geteuid() != 0) QSKIP("the rule holds for root");
    const uid_t other = 65534;
    const std::string base = *FHome / ("trust-" + std::to_string(std::rand()));
    const std::string config = base + "/config", real = base + "/real";
    for (const std::string& folder : {base, config, real, base + "/junk"}) {
      QVERIFY(mkdir(folder.c_str(), 0755) == 0);
      QVERIFY(chmod(folder.c_str(), 0755) == 0);
    }
    // The settings live in real/Brisko, reached through config/Quillmoor.
    QVERIFY(mkdir((real + "/Brisko").c_str(), 0755) == 0 && chmod((real + "/Brisko").c_str(), 0755) == 0);
    QVERIFY(symlink(real.c_str(), (config + "/Quillmoor").c_str()) == 0);
    const std::string ini = real + "/Brisko/Brisko.ini", precious = base + "/precious.log";
    WriteFile(ini, "[Log]\r\nSave=1\r\nFile=" + precious + "\r\nLinage=0\r\n");
    QVERIFY(chmod(ini.c_str(), 0644) == 0);
    WriteFile(precious, "one\r\ntwo\r\n");
    if (hostile == u"folder") QVERIFY(chown(config.c_str(), other, other) == 0);
    if (hostile == u"file") QVERIFY(chown(ini.c_str(), other, other) == 0);
    if (hostile == u"writable") QVERIFY(chmod(ini.c_str(), 0666) == 0);
    if (hostile == u"link") QVERIFY(lchown((config + "/Quillmoor").c_str(), other, other) == 0);
    WriteFile(base + "/junk/old.tmp", "x");
    SetAge(base + "/junk/old.tmp", 30);
    SavePattern(base + "/p.rmp", {{base + "/junk", "*.tmp", "", "M+7", "", ""}});

    QProcessEnvironment env = CronEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_qs, QString::fromStdString(config));
    if (window) env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    TResult result = Run({u"-R"_qs, QString::fromStdString(base + "/p.rmp")}, env);
    QVERIFY2(result.Finished, "the run did not end");
    if (!hostile.isEmpty()) {
      QCOMPARE(result.ExitCode, 1);
      QVERIFY2(result.Err.contains(u"Brisko.ini"_qs), qPrintable(result.Err));
      QVERIFY(Exists(base + "/junk/old.tmp"));
      QCOMPARE(ReadFile(precious), std::string("one\r\ntwo\r\n"));
      return;
    }
    QCOMPARE(result.ExitCode, 0);
    QVERIFY2(result.Err.contains(u"warning"_qs) && result.Err.contains(u"256"_qs), qPrintable(result.Err));
    QVERIFY(!Exists(base + "/junk/old.tmp"));
    const std::string log = ReadFile(precious);
    QVERIFY2(log.starts_with("one\ntwo\n") && log.find("old.tmp") != std::string::npos, log.c_str());
  }

  // Messages that quote a pattern's text escape it as the result lines do: control
  // characters in a Location, a mask or a day count reach no terminal raw.
  void messagesEscapePatternTexts_data() {
    QTest::addColumn<QStringList>("texts");  // Location, Mask, LapsedDays
    QTest::addColumn<QString>("escaped");
    QTest::newRow("relative folder") << QStringList{u"rel\x1b[2Jx"_qs, u"*"_qs, u"A+1"_qs} << u"rel\\x1b[2Jx"_qs;
    QTest::newRow("mask") << QStringList{u"/"_qs, u"\x1b["_qs, u"A+1"_qs} << u"\\x1b["_qs;
    QTest::newRow("day count") << QStringList{u"/"_qs, u"*"_qs, u"A+\x1b]0;x\x07"_qs} << u"A+\\x1b]0;x\\x07"_qs;
  }
  void messagesEscapePatternTexts() {
    QFETCH(QStringList, texts);
    QFETCH(QString, escaped);
    const std::string folder = *FHome / "quoted";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/a.tmp", "x");
    const std::string location = texts[0] == u"/" ? folder : texts[0].toStdString();
    SavePattern(*FHome / "quoted.rmp", {{location, texts[1].toStdString(), "", texts[2].toStdString(), "", ""}});
    TResult result = Run({u"--test"_qs, QString::fromStdString(*FHome / "quoted.rmp")}, CronEnvironment());
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Err.contains(escaped), qPrintable(result.Err));
    QVERIFY(!result.Err.contains(QChar(0x1b)));
  }

  void failingLogSaveGivesAFailureStatus() {
    SavePattern(*FHome / "empty-item.rmp", {{"", "", "", "", "", ""}});
    std::string folder = FHome->Path() + "/.config/Quillmoor/Brisko";
    WriteFile(folder + "/Brisko.ini", "[Log]\r\nSave=1\r\nFile=" + (*FHome / "no-such-folder/x.log") + "\r\n");
    TResult result = Run({u"-R"_qs, QString::fromStdString(*FHome / "empty-item.rmp")}, CronEnvironment());
    QVERIFY(result.Finished);
    QVERIFY(result.ExitCode != 0);
    QVERIFY(result.Err.contains(u"x.log"_qs));
  }

  // A record that cannot be kept safely is never skipped: a lock that is not a plain
  // file of the running user is not used (the lines go to standard error, status 1),
  // and a log a root run may not trust (or a relative log path) ends the run before
  // anything is removed.
  void recordThatCannotBeKeptSafelyIsNeverSkipped_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("removes");
    QTest::newRow("lock is a folder") << u"folder lock"_qs << true;
    QTest::newRow("lock is a dangling link") << u"link lock"_qs << true;
    QTest::newRow("lock of another user") << u"foreign lock"_qs << false;
    QTest::newRow("log of another user") << u"foreign log"_qs << false;
    QTest::newRow("log folder of another user") << u"foreign folder"_qs << false;
    QTest::newRow("relative log path") << u"relative"_qs << false;
  }
  void recordThatCannotBeKeptSafelyIsNeverSkipped() {
    QFETCH(QString, setup);
    QFETCH(bool, removes);
    if (setup.startsWith(u"foreign"_qs) && geteuid() != 0) QSKIP("only root can give a file to another user");
    const uid_t nobody = 65534;
    const std::string folder = *FHome / "swept", logFolder = *FHome / "logs", log = logFolder + "/shared.log";
    QDir(QString::fromStdString(logFolder)).removeRecursively();
    QDir().mkpath(QString::fromStdString(folder));
    QDir().mkpath(QString::fromStdString(logFolder));
    WriteFile(folder + "/a.tmp", "x");
    SavePattern(*FHome / "record.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    const std::string file = setup == u"relative"_qs ? std::string("logs/shared.log") : log;
    WriteFile(FHome->Path() + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\nFile=" + file + "\r\n");
    WriteFile(log, "");
    if (setup == u"folder lock"_qs) QVERIFY(mkdir((log + ".lock").c_str(), 0700) == 0);
    if (setup == u"link lock"_qs) QVERIFY(symlink("nowhere", (log + ".lock").c_str()) == 0);
    if (setup == u"foreign lock"_qs) {
      WriteFile(log + ".lock", "");
      QVERIFY(chown((log + ".lock").c_str(), nobody, nobody) == 0);
    }
    if (setup == u"foreign log"_qs) QVERIFY(chown(log.c_str(), nobody, nobody) == 0);
    if (setup == u"foreign folder"_qs) QVERIFY(chown(logFolder.c_str(), nobody, nobody) == 0);

    const TResult result = Run({u"-R"_qs, QString::fromStdString(*FHome / "record.rmp")}, CronEnvironment());
    QVERIFY(result.Finished);
    QCOMPARE(result.ExitCode, 1);
    QCOMPARE(!Exists(folder + "/a.tmp"), removes);
    // What was removed is told on standard error, never only in a log written without the lock.
    QCOMPARE(result.Err.contains(QString::fromStdString(" RM 0x0000 " + folder + "/a.tmp")), removes);
    QVERIFY2(result.Err.contains(QString::fromStdString(logFolder.substr(FHome->Path().size() + 1))), qPrintable(result.Err));
    QVERIFY(ReadFile(log).find(" RM ") == std::string::npos);
  }

  // Another process holding the lock delays the record, but a stop signal ends the
  // wait at once: the lines go to standard error and the run ends as signalled.
  void waitForTheLockEndsOnAStopSignal() {
    const std::string folder = *FHome / "held", log = *FHome / "held.log";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/a.tmp", "x");
    SavePattern(*FHome / "held.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
    WriteFile(FHome->Path() + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\nFile=" + log + "\r\n");
    const int lock = open((log + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0 && flock(lock, LOCK_EX) == 0);

    QProcess process;
    process.setProcessEnvironment(CronEnvironment());
    process.start(Program(), {u"-R"_qs, QString::fromStdString(*FHome / "held.rmp")});
    QVERIFY(process.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!Exists(folder + "/a.tmp"), 10000);
    QTest::qWait(300);  // the run is past its removal, waiting for the lock
    QElapsedTimer ended;
    ended.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    const bool finished = process.waitForFinished(int(std::chrono::milliseconds(LogLockWait).count()) / 2);
    close(lock);
    if (!finished) process.waitForFinished(30000);
    QVERIFY2(finished, "the signal did not end the wait for the lock");
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    QVERIFY(process.readAllStandardError().contains(" RM 0x0000 " + QByteArray::fromStdString(folder) + "/a.tmp"));
  }
};

QTEST_GUILESS_MAIN(TUnattendedTest)
#include "tst_unattended.moc"

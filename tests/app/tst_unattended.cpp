// The built program as a scheduler starts it: no display, no session bus, HOME set.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>
#include <set>

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
    size_t end = Log.find("\r\n", start);
    if (end == std::string::npos) end = Log.size();
    const std::string line = Log.substr(start, end - start);
    const size_t code = line.find(" 0x");
    if (code != std::string::npos) paths.insert(line.substr(line.find(' ', code + 3) + 1));
    start = end + 2;
  }
  return paths;
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
    QVERIFY2(log.rfind("earlier line\r\n", 0) == 0, log.c_str());
    QVERIFY2(log.find(" RM 0x0000 " + folder + "/old.tmp\r\n") != std::string::npos, log.c_str());
    QVERIFY(log.find("new.tmp") == std::string::npos);
  }

  // Every argument is ours: the toolkit's own options neither hide the pattern nor
  // change the run ("-reverse" is the run switch by our rule: it begins with "-r").
  void toolkitOptionsAreOurArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-reverse") << QStringList{u"-reverse"_qs};
    QTest::newRow("-session") << QStringList{u"-R"_qs, u"-session"_qs};
    QTest::newRow("-style") << QStringList{u"-R"_qs, u"-style"_qs, u"Fusion"_qs};
    QTest::newRow("-platform") << QStringList{u"-R"_qs, u"-platform"_qs, u"xcb"_qs};
  }
  void toolkitOptionsAreOurArguments() {
    QFETCH(QStringList, arguments);
    const std::string folder = *FHome / "args";
    QDir().mkpath(QString::fromStdString(folder));
    WriteFile(folder + "/old.tmp", "x");
    SetAge(folder + "/old.tmp", 30);
    SavePattern(*FHome / "args.rmp", {{folder, "*.tmp", "", "M+7", "", ""}});
    WriteSettings(false);
    TResult result = Run(arguments << QString::fromStdString(*FHome / "args.rmp"), CronEnvironment());
    QVERIFY2(result.Finished, "the run did not end");
    QCOMPARE(result.ExitCode, 0);
    QVERIFY2(result.Err.isEmpty(), qPrintable(result.Err));
    QVERIFY(!Exists(folder + "/old.tmp"));
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
    QVERIFY2(log.starts_with("one\r\ntwo\r\n") && log.find("old.tmp") != std::string::npos, log.c_str());
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
};

QTEST_GUILESS_MAIN(TUnattendedTest)
#include "tst_unattended.moc"

// The built program as a scheduler starts it: no display, no session bus, HOME set.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>

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

// The schedule dialog against a stand-in user manager on a private bus: a systemd
// user manager cannot run without systemd as the machine's first process, which a
// container does not have, so a dbus-daemon of the test's own carries a stand-in
// that answers the manager's calls and records them. systemd-analyze judges the
// drop-ins the dialog writes, and systemd-escape the instance names.
#include "app/Schedule.h"
#include "dialogs/UserManager.h"
#include "dialogs/BRISK_Schedule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeEdit>
#include <atomic>

namespace {

QStringList Calls;
QMutex CallsLock;

void Record(const QString& Call) {
  QMutexLocker lock(&CallsLock);
  Calls << Call;
}

QStringList TakeCalls() {
  QMutexLocker lock(&CallsLock);
  return std::exchange(Calls, {});
}

const QString TimerPath = QStringLiteral("/org/freedesktop/systemd1/unit/timer");
const QString ServicePath = QStringLiteral("/org/freedesktop/systemd1/unit/service");

}  // namespace

// Answers the manager's calls as systemd does, as far as the dialog looks at the
// answers (the enabling calls' lists of changes are left out).
class TStandInManager : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
public:
  std::atomic<bool> RefuseEnabling = false;  // as when the units are not installed
public slots:
  void Reload() { Record(u"Reload"_qs); }
  bool EnableUnitFiles(const QStringList& Files, bool Runtime, bool Force) {
    Record(u"EnableUnitFiles %1 %2 %3"_qs.arg(Files.join(u','), Runtime ? u"runtime"_qs : u"-"_qs, Force ? u"force"_qs : u"-"_qs));
    if (RefuseEnabling)
      sendErrorReply(u"org.freedesktop.systemd1.NoSuchUnit"_qs, u"Unit file brisko-run@.timer does not exist."_qs);
    return true;
  }
  void DisableUnitFiles(const QStringList& Files, bool) { Record(u"DisableUnitFiles "_qs + Files.join(u',')); }
  QDBusObjectPath StartUnit(const QString& Unit, const QString& Mode) {
    Record(u"StartUnit %1 %2"_qs.arg(Unit, Mode));
    return QDBusObjectPath(u"/org/freedesktop/systemd1/job/1"_qs);
  }
  QDBusObjectPath StopUnit(const QString& Unit, const QString& Mode) {
    Record(u"StopUnit %1 %2"_qs.arg(Unit, Mode));
    return QDBusObjectPath(u"/org/freedesktop/systemd1/job/2"_qs);
  }
  QDBusObjectPath LoadUnit(const QString& Unit) {
    return QDBusObjectPath(Unit.endsWith(u".timer"_qs) ? TimerPath : ServicePath);
  }
};

class TStandInTimer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Timer")
  Q_PROPERTY(qulonglong NextElapseUSecRealtime MEMBER Next)
  Q_PROPERTY(qulonglong LastTriggerUSec MEMBER Last)
public:
  qulonglong Next = 0, Last = 0;
};

class TStandInService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Service")
  Q_PROPERTY(QString Result MEMBER Result)
  Q_PROPERTY(int ExecMainStatus MEMBER Status)
public:
  QString Result = u"success"_qs;
  int Status = 0;
};

class TScheduleTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void InstanceNamesAsSystemdEscapes();
  void EnablingChangingAndTurningOff();
  void TimesAndResultFromTheManager();
  void CrontabLineKeepsTheFileName();

private:
  QProcess FBus;
  QString FAddress;
  QThread FStandInThread;
  TStandInManager* FManager = nullptr;
  TStandInTimer* FTimer = nullptr;
  TStandInService* FService = nullptr;
  QTemporaryDir FConfig;

  QStringList DropInFiles() const;
  QString Verify(const std::string& Instance) const;
};

void TScheduleTest::initTestCase() {
  FBus.start(u"dbus-daemon"_qs, {u"--session"_qs, u"--nofork"_qs, u"--print-address=1"_qs});
  QVERIFY2(FBus.waitForStarted(), "dbus-daemon is needed (scripts/setup.sh installs it)");
  QVERIFY(FBus.waitForReadyRead(5000));
  FAddress = QString::fromLatin1(FBus.readLine()).trimmed();

  // The stand-in answers on a thread of its own: the dialog's calls block the main thread.
  FStandInThread.start();
  FManager = new TStandInManager;
  FTimer = new TStandInTimer;
  FService = new TStandInService;
  for (QObject* object : std::initializer_list<QObject*>{FManager, FTimer, FService}) object->moveToThread(&FStandInThread);
  QDBusConnection bus = QDBusConnection::connectToBus(FAddress, u"stand-in"_qs);
  QVERIFY(bus.registerService(u"org.freedesktop.systemd1"_qs));
  QVERIFY(bus.registerObject(u"/org/freedesktop/systemd1"_qs, FManager, QDBusConnection::ExportAllSlots));
  QVERIFY(bus.registerObject(TimerPath, FTimer, QDBusConnection::ExportAllProperties));
  QVERIFY(bus.registerObject(ServicePath, FService, QDBusConnection::ExportAllProperties));

  QVERIFY(FConfig.isValid());
  qputenv("XDG_CONFIG_HOME", FConfig.path().toLocal8Bit());
}

void TScheduleTest::cleanupTestCase() {
  FStandInThread.quit();
  FStandInThread.wait();
  FBus.terminate();
  FBus.waitForFinished();
}

QStringList TScheduleTest::DropInFiles() const {
  QStringList files;
  QDirIterator it(FConfig.path(), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(FConfig.path()).relativeFilePath(it.next());
  files.sort();
  return files;
}

// systemd-analyze's complaints about the units of Instance with the drop-ins written.
QString TScheduleTest::Verify(const std::string& Instance) const {
  QTemporaryDir runtime;
  const QString units = FConfig.path() + u"/systemd/user/"_qs;
  QDir().mkpath(units);
  QFile timer(QFINDTESTDATA("../../dist/systemd/brisko-run@.timer"));
  QFile service(QFINDTESTDATA("../../dist/systemd/brisko-run@.service.in"));
  if (!timer.open(QIODevice::ReadOnly) || !service.open(QIODevice::ReadOnly)) return u"no units"_qs;
  QFile copy(units + u"brisko-run@.timer"_qs);
  copy.open(QIODevice::WriteOnly);
  copy.write(timer.readAll());
  copy.close();
  QFile copyService(units + u"brisko-run@.service"_qs);
  copyService.open(QIODevice::WriteOnly);
  copyService.write(service.readAll().replace("@BRISKO_EXECUTABLE@", "/usr/bin/true"));
  copyService.close();
  QProcess verify;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"XDG_RUNTIME_DIR"_qs, runtime.path());
  verify.setProcessEnvironment(environment);
  const QString name = QString::fromStdString("brisko-run@" + Instance);
  verify.start(u"systemd-analyze"_qs, {u"--user"_qs, u"verify"_qs, u"--man=no"_qs, name + u".timer"_qs, name + u".service"_qs});
  verify.waitForFinished();
  const QString complaints = QString::fromLocal8Bit(verify.readAllStandardError());
  copy.remove();
  copyService.remove();
  return verify.exitCode() == 0 ? complaints : u"status %1: %2"_qs.arg(verify.exitCode()).arg(complaints);
}

// Every name, as systemd-escape --path gives it; ".." is refused by both.
void TScheduleTest::InstanceNamesAsSystemdEscapes() {
  const char* paths[] = {"/home/ann/patterns/daily.rmp", "/", "//a//b/", "/a/./b", "/.hidden/x.rmp", "/a/.b",
                         "/with space/and-dash\\back", "/ü/日本語.rmp", "/a/../b", "/tab\there:colon_under"};
  for (const char* path : paths) {
    QProcess escape;
    escape.start(u"systemd-escape"_qs, {u"--path"_qs, QString::fromUtf8(path)});
    QVERIFY(escape.waitForFinished());
    const std::optional<std::string> ours = EscapeUnitPath(path);
    if (escape.exitCode() != 0) {
      QVERIFY2(!ours, path);
      continue;
    }
    QVERIFY2(ours, path);
    QCOMPARE(QString::fromStdString(*ours), QString::fromUtf8(escape.readAllStandardOutput()).trimmed());
  }
}

// Each step leaves its drop-ins, which systemd accepts and which read back as chosen,
// and makes exactly the manager calls that put them in force; a step the manager
// refuses leaves the schedule that was in force.
void TScheduleTest::EnablingChangingAndTurningOff() {
  const std::string pattern = "/home/ann/patterns/daily-clean.rmp";
  const std::string instance = *EscapeUnitPath(pattern);
  const QString timer = QString::fromStdString("brisko-run@" + instance + ".timer");
  const QString timerDropIn = QString::fromStdString("systemd/user/brisko-run@" + instance + ".timer.d/brisko-schedule.conf");
  const QString serviceDropIn =
      QString::fromStdString("systemd/user/brisko-run@" + instance + ".service.d/brisko-schedule.conf");
  const QStringList enable{u"EnableUnitFiles %1 - force"_qs.arg(timer), u"Reload"_qs, u"StartUnit %1 replace"_qs.arg(timer)};
  const QStringList disable{u"StopUnit %1 replace"_qs.arg(timer), u"DisableUnitFiles %1"_qs.arg(timer), u"Reload"_qs};

  struct TStep {
    const char* What;
    std::function<void(TScheduleDialog&)> Choose;
    QStringList Files;
    QStringList Calls;
    bool Refused = false;  // the manager refuses to enable the timer
  } steps[] = {
      {"daily at 03:30",
       [](TScheduleDialog& D) {
         D.KindCbx->setCurrentIndex(int(TScheduleKind::Daily));
         D.TimeEdt->setTime(QTime(3, 30));
       },
       {timerDropIn}, enable},
      {"weekly, refused by the manager: the daily schedule stays",
       [](TScheduleDialog& D) { D.KindCbx->setCurrentIndex(int(TScheduleKind::Weekly)); },
       {timerDropIn}, {enable[0]}, true},
      {"weekly, Tuesday 22:05, on mains power, notice after every run, no catching up",
       [](TScheduleDialog& D) {
         D.KindCbx->setCurrentIndex(int(TScheduleKind::Weekly));
         D.WeekDayCbx->setCurrentIndex(1);
         D.TimeEdt->setTime(QTime(22, 5));
         D.MainsOnlyChk->setChecked(true);
         D.NotifyChk->setChecked(true);
         D.CatchUpChk->setChecked(false);
       },
       {serviceDropIn, timerDropIn}, enable},
      {"monthly on the 28th, the service's options off again",
       [](TScheduleDialog& D) {
         D.KindCbx->setCurrentIndex(int(TScheduleKind::Monthly));
         D.MonthDaySpn->setValue(28);
         D.MainsOnlyChk->setChecked(false);
         D.NotifyChk->setChecked(false);
       },
       {timerDropIn}, enable},
      {"hourly", [](TScheduleDialog& D) { D.KindCbx->setCurrentIndex(int(TScheduleKind::Hourly)); }, {timerDropIn},
       enable},
      {"off", [](TScheduleDialog& D) { D.KindCbx->setCurrentIndex(int(TScheduleKind::Off)); }, {}, disable},
  };
  TDBusUserManager manager(QDBusConnection::connectToBus(FAddress, u"dialog"_qs));
  TSchedule inForce;
  for (const TStep& step : steps) {
    TakeCalls();
    FManager->RefuseEnabling = step.Refused;
    // A new dialog each time: it shows what the last one wrote.
    TScheduleDialog dialog(manager, pattern, "/usr/bin/brisko");
    step.Choose(dialog);
    if (!step.Refused) inForce = dialog.Chosen();
    QCOMPARE(dialog.Apply().isEmpty(), !step.Refused);
    QCOMPARE(TakeCalls(), step.Calls);
    QCOMPARE(DropInFiles(), step.Files);
    // Read back, the schedule means what is in force (fields its kind ignores aside).
    const TSchedule read = ReadSchedule(pattern);
    QCOMPARE(TimerDropIn(read) + ServiceDropIn(read), TimerDropIn(inForce) + ServiceDropIn(inForce));
    if (inForce.Kind != TScheduleKind::Off) QCOMPARE(Verify(instance), QString());
  }
  QVERIFY(!QDir(FConfig.path() + u"/systemd/user/brisko-run@"_qs + QString::fromStdString(instance) + u".timer.d"_qs).exists());
}

void TScheduleTest::TimesAndResultFromTheManager() {
  const QDateTime next(QDate(2031, 4, 5), QTime(3, 30));
  const QDateTime last(QDate(2031, 4, 4), QTime(3, 31));
  FTimer->Next = qulonglong(next.toMSecsSinceEpoch()) * 1000;
  FTimer->Last = qulonglong(last.toMSecsSinceEpoch()) * 1000;
  FService->Result = u"exit-code"_qs;
  FService->Status = 3;
  TDBusUserManager manager(QDBusConnection::connectToBus(FAddress, u"times"_qs));
  TScheduleDialog dialog(manager, "/p/x.rmp", "/usr/bin/brisko");
  QCOMPARE(dialog.NextRunLbl->text(), next.toString(u"yyyy/MM/dd HH:mm"_qs));
  QCOMPARE(dialog.LastRunLbl->text(), last.toString(u"yyyy/MM/dd HH:mm"_qs));
  QVERIFY(dialog.LastResultLbl->text().contains(u"exit-code"_qs));
  QVERIFY(dialog.LastResultLbl->text().contains(u'3'));
  QVERIFY(ScheduleStatusText(manager, "/p/x.rmp").contains(dialog.NextRunLbl->text()));
  // A timer enabled by hand without our drop-in runs daily, and the dialog says so.
  QCOMPARE(dialog.Chosen().Kind, TScheduleKind::Daily);

  // No manager on the bus: the crontab line instead, and nothing to apply.
  QDBusConnection none = QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_qs, u"none"_qs);
  TDBusUserManager missing(none);
  TScheduleDialog without(missing, "/p/x.rmp", "/usr/bin/brisko");
  without.KindCbx->setCurrentIndex(int(TScheduleKind::Daily));
  QVERIFY(!without.CrontabEdt->isHidden());
  QVERIFY(without.CrontabEdt->text().endsWith(u"-R '/p/x.rmp'"_qs));
  QVERIFY(!without.Apply().isEmpty());
  FTimer->Next = FTimer->Last = 0;
}

// The line's command, as cron hands it to the shell (a "\%" becomes "%"), gives the
// program the pattern's name unchanged, whatever it holds; and its time fields are
// those of the schedule.
void TScheduleTest::CrontabLineKeepsTheFileName() {
  const char* names[] = {"/p/plain.rmp", "/p/it's 100% $HOME `x` \"q\".rmp", "/p/a\\b;c&d|e*.rmp"};
  TSchedule schedule;
  schedule.Kind = TScheduleKind::Weekly;
  schedule.WeekDay = 7;
  schedule.Hour = 4;
  schedule.Minute = 15;
  for (const char* name : names) {
    const QString line = QString::fromStdString(CrontabLine(schedule, "/usr/bin/printf", name));
    const QStringList fields = line.split(u' ');
    QCOMPARE(fields.mid(0, 5), (QStringList{u"15"_qs, u"4"_qs, u"*"_qs, u"*"_qs, u"0"_qs}));
    QString command = line.section(u' ', 5).replace(u"\\%"_qs, u"%"_qs);
    command.replace(u"nice '/usr/bin/printf' -R"_qs, u"printf '%s'"_qs);
    QProcess shell;
    shell.start(u"sh"_qs, {u"-c"_qs, command});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.readAllStandardOutput(), QByteArray(name));
  }
  QVERIFY(CrontabLine(schedule, "/usr/bin/brisko", "/p/line\nbreak.rmp").empty());
}

QTEST_MAIN(TScheduleTest)
#include "tst_schedule.moc"

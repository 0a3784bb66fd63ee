#include "app/RunNotice.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/CommandLine.h"
#include "app/Translations.h"
#include "dialogs/UserManager.h"
#include "controls/QtText.h"

namespace {

const QString NoticeService = QStringLiteral("org.freedesktop.Notifications");
const QString NoticePath = QStringLiteral("/org/freedesktop/Notifications");
// A notification service that has not answered by then is taken as none.
constexpr int CallTimeout = 3000;
// How long the child waits for the action of a notice that is never closed.
constexpr int WaitLimit = 60 * 60 * 1000;

const char* const Context = "TRunNotice";

std::string OwnProgram() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, size_t(n)) : std::string("brisko");
}

// A service run shows no window, so its environment has no display: the window the
// action opens takes the session's, which the desktop hands to the user manager.
void TakeSessionDisplay(const QString& Address) {
  QDBusConnection bus = QDBusConnection::connectToBus(Address, QStringLiteral("brisko-notice-manager"));
  QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.systemd1"),
                                                    QStringLiteral("/org/freedesktop/systemd1"),
                                                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get.setArguments({QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("Environment")});
  const QDBusMessage reply = bus.call(get, QDBus::Block, CallTimeout);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
  const QStringList environment = reply.arguments().first().value<QDBusVariant>().variant().toStringList();
  for (const QString& setting : environment)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"})
      if (setting.startsWith(QLatin1String(name) + u'=') && !std::getenv(name))
        setenv(name, setting.section(u'=', 1).toLocal8Bit().constData(), 0);
}

// The child: sends the notice, then waits for its action or its end.
[[noreturn]] void NotifyAndWait(const std::string& PatternFile, const TRunNoticeText& Text, const QString& Address) {
  int argc = 1;
  char name[] = "brisko";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::connectToBus(Address, QStringLiteral("brisko-notice"));
  if (!bus.isConnected()) _exit(0);

  QDBusMessage notify = QDBusMessage::createMethodCall(NoticeService, NoticePath, NoticeService, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("brisko"));
  notify.setArguments({QStringLiteral("Brisko"), 0u, QStringLiteral("brisko"), Text.Summary, Text.Body,
                       QStringList{QString::fromLatin1(ShowLogAction), Text.Action}, hints, -1});
  const QDBusMessage reply = bus.call(notify, QDBus::Block, CallTimeout);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) _exit(0);

  TNoticeWatch watch(reply.arguments().first().toUInt(), PatternFile);
  bus.connect(NoticeService, NoticePath, NoticeService, QStringLiteral("ActionInvoked"), &watch,
              SLOT(ActionInvoked(uint, QString)));
  bus.connect(NoticeService, NoticePath, NoticeService, QStringLiteral("NotificationClosed"), &watch,
              SLOT(NotificationClosed(uint, uint)));
  QTimer::singleShot(WaitLimit, &app, &QCoreApplication::quit);
  // The session ended (the bus went away): nobody is left to click.
  QTimer busGone;
  QObject::connect(&busGone, &QTimer::timeout, &app, [&bus] {
    if (!bus.isConnected()) QCoreApplication::quit();
  });
  busGone.start(10000);
  app.exec();
  _exit(0);
}

}  // namespace

bool WantsRunNotice(int Status, const char* NotifySetting) {
  const std::string setting = NotifySetting ? NotifySetting : "";
  if (setting == "never") return false;
  return Status != esSuccess || setting == "always";
}

TRunNoticeText RunNoticeText(const std::string& PatternFile, int Status, const TTranslations& Texts) {
  QString body;
  if (Status == esSuccess)
    body = Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "実行が終わりました。"));
  else if (Status == esError)
    body = Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "実行はエラーで終わりました。"));
  else if (Status == esNotRemoved)
    body = Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "削除できなかったエントリがあります。"));
  else if (Status > 128)
    body = Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "シグナル %1 で中断されました。")).arg(Status - 128);
  else
    body = Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "終了コード %1 で終わりました。")).arg(Status);
  return {QFileInfo(BytesToText(PatternFile)).fileName(), body,
          Texts.Translate(Context, QT_TRANSLATE_NOOP("TRunNotice", "ログを表示"))};
}

void SendRunNotice(const std::string& PatternFile, int Status, const TTranslations& Texts) {
  if (!WantsRunNotice(Status, std::getenv("BRISKO_NOTIFY"))) return;
  const QString address = SessionBusAddress();
  if (address.isEmpty()) return;
  const TRunNoticeText text = RunNoticeText(PatternFile, Status, Texts);
  const pid_t child = fork();
  if (child != 0) return;  // the run ends at once; a failed fork sends nothing
  setsid();
  // The run took its stop signals through a signalfd and left them blocked; this
  // process must end on them like any other, at logout or shutdown.
  sigset_t none;
  sigemptyset(&none);
  pthread_sigmask(SIG_SETMASK, &none, nullptr);
  // Whoever reads the run's output (cron, a pipe) must not wait for this process.
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
  NotifyAndWait(PatternFile, text, address);
}

void TNoticeWatch::ActionInvoked(uint Id, const QString& Action) {
  if (Id != FId || Action != QLatin1String(ShowLogAction)) return;
  TakeSessionDisplay(SessionBusAddress());
  const std::string program = OwnProgram();
  execl(program.c_str(), program.c_str(), "--show-log", FPatternFile.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

void TNoticeWatch::NotificationClosed(uint Id, uint) {
  if (Id == FId) QCoreApplication::quit();
}

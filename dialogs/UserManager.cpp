#include "dialogs/UserManager.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>

#include <cstdlib>

namespace {

const QString Service = QStringLiteral("org.freedesktop.systemd1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
// A manager that does not answer within this is taken as none; the dialog must not hang.
constexpr int CallTimeout = 3000;

QString RuntimeFolder() { return QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")); }

QDateTime FromMicroseconds(qulonglong Value) {
  if (Value == 0 || Value == ~qulonglong(0)) return {};
  return QDateTime::fromMSecsSinceEpoch(qint64(Value / 1000));
}

}  // namespace

QString SessionBusAddress() {
  const QByteArray set = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!set.isEmpty()) return QString::fromLocal8Bit(set);
  const QString runtime = RuntimeFolder();
  if (runtime.isEmpty()) return {};
  const QString socket = runtime + QStringLiteral("/bus");
  // No autolaunch: a bus that is not there already is not started for us.
  if (!QFileInfo(socket).exists()) return {};
  return QStringLiteral("unix:path=") + socket;
}

TDBusUserManager::TDBusUserManager(const QDBusConnection& Bus) : FBus(Bus) {}

std::unique_ptr<TUserManager> TDBusUserManager::ForSession() {
  const QString address = SessionBusAddress();
  if (!address.isEmpty())
    return std::make_unique<TDBusUserManager>(QDBusConnection::connectToBus(address, QStringLiteral("brisko-systemd")));
  // The manager's own socket, which it serves even without a session bus.
  const QString socket = RuntimeFolder() + QStringLiteral("/systemd/private");
  if (RuntimeFolder().isEmpty() || !QFileInfo(socket).exists())
    return std::make_unique<TDBusUserManager>(QDBusConnection(QStringLiteral("brisko-no-bus")));
  return std::make_unique<TDBusUserManager>(
      QDBusConnection::connectToPeer(QStringLiteral("unix:path=") + socket, QStringLiteral("brisko-systemd-private")));
}

namespace {

QDBusMessage Call(QDBusConnection& Bus, const QString& Method, const QVariantList& Arguments) {
  QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ManagerInterface, Method);
  message.setArguments(Arguments);
  return Bus.call(message, QDBus::Block, CallTimeout);
}

QString ErrorOf(const QDBusMessage& Reply) {
  if (Reply.type() != QDBusMessage::ErrorMessage) return {};
  return Reply.errorMessage().isEmpty() ? Reply.errorName() : Reply.errorMessage();
}

}  // namespace

bool TDBusUserManager::Available() {
  if (!FBus.isConnected()) return false;
  // A peer connection is the manager itself; on a bus it must own its name.
  if (!FBus.interface()) return true;
  return FBus.interface()->isServiceRegistered(Service).value();
}

QString TDBusUserManager::Reload() { return ErrorOf(Call(FBus, QStringLiteral("Reload"), {})); }

QString TDBusUserManager::EnableUnitFiles(const QStringList& Units) {
  // Not for this boot only; replace links of an earlier enabling.
  return ErrorOf(Call(FBus, QStringLiteral("EnableUnitFiles"), {Units, false, true}));
}

QString TDBusUserManager::DisableUnitFiles(const QStringList& Units) {
  return ErrorOf(Call(FBus, QStringLiteral("DisableUnitFiles"), {Units, false}));
}

QString TDBusUserManager::StartUnit(const QString& Unit) {
  return ErrorOf(Call(FBus, QStringLiteral("StartUnit"), {Unit, QStringLiteral("replace")}));
}

QString TDBusUserManager::StopUnit(const QString& Unit) {
  return ErrorOf(Call(FBus, QStringLiteral("StopUnit"), {Unit, QStringLiteral("replace")}));
}

QVariant TDBusUserManager::Property(const QString& Unit, const char* Interface, const char* Name) {
  // LoadUnit answers the unit's object also when it is not running.
  const QDBusMessage unit = Call(FBus, QStringLiteral("LoadUnit"), {Unit});
  if (unit.type() != QDBusMessage::ReplyMessage || unit.arguments().isEmpty()) return {};
  const QString path = unit.arguments().first().value<QDBusObjectPath>().path();
  QDBusMessage get = QDBusMessage::createMethodCall(Service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                    QStringLiteral("Get"));
  get.setArguments({QString::fromLatin1(Interface), QString::fromLatin1(Name)});
  const QDBusMessage reply = FBus.call(get, QDBus::Block, CallTimeout);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusVariant>().variant();
}

TUnitTimes TDBusUserManager::TimerTimes(const QString& Timer) {
  const char* timer = "org.freedesktop.systemd1.Timer";
  return {FromMicroseconds(Property(Timer, timer, "NextElapseUSecRealtime").toULongLong()),
          FromMicroseconds(Property(Timer, timer, "LastTriggerUSec").toULongLong())};
}

TUnitResult TDBusUserManager::ServiceResult(const QString& Unit) {
  const char* service = "org.freedesktop.systemd1.Service";
  return {Property(Unit, service, "Result").toString(), Property(Unit, service, "ExecMainStatus").toInt()};
}

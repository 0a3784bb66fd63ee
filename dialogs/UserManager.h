#pragma once
// The user's service manager as the schedule dialog needs it: reload, enable and
// start a timer, disable and stop it, and tell when it runs and how its service
// ended. TDBusUserManager talks to org.freedesktop.systemd1 on the session bus (or
// the user's private bus); tests hand the dialog a bus of their own.
#include <QDBusConnection>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

struct TUnitTimes {
  QDateTime NextRun;  // invalid: not scheduled
  QDateTime LastRun;  // invalid: never ran
};

struct TUnitResult {
  QString Result;      // the service's Result: "success", "exit-code", "signal", ...
  int ExitStatus = 0;  // its main process's last exit status
};

class TUserManager {
public:
  virtual ~TUserManager() = default;
  // Whether a manager answers at all.
  virtual bool Available() = 0;
  // Each answers an empty text, or the manager's error.
  virtual QString Reload() = 0;
  virtual QString EnableUnitFiles(const QStringList& Units) = 0;
  virtual QString DisableUnitFiles(const QStringList& Units) = 0;
  virtual QString StartUnit(const QString& Unit) = 0;
  virtual QString StopUnit(const QString& Unit) = 0;
  virtual TUnitTimes TimerTimes(const QString& Timer) = 0;
  virtual TUnitResult ServiceResult(const QString& Service) = 0;
};

class TDBusUserManager : public TUserManager {
public:
  // Bus connections of the manager; a test names one of its own.
  explicit TDBusUserManager(const QDBusConnection& Bus);
  // The session bus, or where none is set the manager's private socket.
  static std::unique_ptr<TUserManager> ForSession();

  bool Available() override;
  QString Reload() override;
  QString EnableUnitFiles(const QStringList& Units) override;
  QString DisableUnitFiles(const QStringList& Units) override;
  QString StartUnit(const QString& Unit) override;
  QString StopUnit(const QString& Unit) override;
  TUnitTimes TimerTimes(const QString& Timer) override;
  TUnitResult ServiceResult(const QString& Service) override;

private:
  QDBusConnection FBus;
  QVariant Property(const QString& Unit, const char* Interface, const char* Name);
};

// The address of the user's session bus: DBUS_SESSION_BUS_ADDRESS, or the socket
// $XDG_RUNTIME_DIR/bus where one exists; empty when there is none. No bus is ever
// started for the asking.
QString SessionBusAddress();

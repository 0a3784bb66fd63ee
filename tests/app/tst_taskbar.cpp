// Taskbar progress as the launcher entry signal, on a private session bus.
#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "app/TaskbarProgress.h"

namespace {

class TBusProgress : public TTaskbarProgress {
public:
  explicit TBusProgress(const QDBusConnection& Bus) : TTaskbarProgress(Bus) {}
};

}  // namespace

class TTaskbarTest : public QObject {
  Q_OBJECT
  QProcess FDaemon;
  QString FAddress;
  QList<QDBusMessage> FReceived;

public slots:
  void Received(const QDBusMessage& Message) { FReceived << Message; }

private slots:
  void noSessionBusMeansNoProgressObject() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/brisko-test-bus");
    QVERIFY(TTaskbarProgress::Create() == nullptr);
  }

  void progressTravelsAsLauncherEntrySignals() {
    QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_qs);
    if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed");
    FDaemon.start(daemon, {u"--session"_qs, u"--nofork"_qs, u"--print-address=1"_qs});
    QVERIFY(FDaemon.waitForStarted());
    QTRY_VERIFY(FDaemon.canReadLine());
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();

    QDBusConnection sender = QDBusConnection::connectToBus(FAddress, u"sender"_qs);
    QDBusConnection listener = QDBusConnection::connectToBus(FAddress, u"listener"_qs);
    QVERIFY(sender.isConnected() && listener.isConnected());
    QVERIFY(listener.connect({}, {}, u"com.canonical.Unity.LauncherEntry"_qs, u"Update"_qs, this,
                             SLOT(Received(QDBusMessage))));

    TBusProgress progress(sender);
    progress.SetProgressState(psIndeterminate);
    progress.SetProgressState(psNormal);
    progress.SetProgressValue(3, 4);
    progress.SetProgressValue(5, 0);  // nothing to do: an empty bar, no division by zero
    progress.SetProgressState(psNoProgress);
    QTRY_COMPARE(FReceived.size(), 5);

    for (const QDBusMessage& message : FReceived) {
      QCOMPARE(message.arguments().size(), 2);
      QCOMPARE(message.arguments()[0].toString(), u"application://brisko.desktop"_qs);
    }
    auto properties = [this](int Index) {
      return qdbus_cast<QVariantMap>(FReceived[Index].arguments()[1]);
    };
    QCOMPARE(properties(0).value(u"progress-visible"_qs).toBool(), true);
    QCOMPARE(properties(0).value(u"progress"_qs).toDouble(), 0.0);
    QCOMPARE(properties(2).value(u"progress"_qs).toDouble(), 0.75);
    QCOMPARE(properties(3).value(u"progress"_qs).toDouble(), 0.0);
    QCOMPARE(properties(4).value(u"progress-visible"_qs).toBool(), false);

    QDBusConnection::disconnectFromBus(u"sender"_qs);
    QDBusConnection::disconnectFromBus(u"listener"_qs);
    FDaemon.kill();
    FDaemon.waitForFinished();
  }
};

QTEST_GUILESS_MAIN(TTaskbarTest)
#include "tst_taskbar.moc"

#include "app/TaskbarProgress.h"

#include <QDBusMessage>

namespace {
const char* const LauncherPath = "/com/canonical/unity/launcherentry/brisko";
const char* const LauncherInterface = "com.canonical.Unity.LauncherEntry";
const char* const ApplicationUri = "application://brisko.desktop";
}  // namespace

std::unique_ptr<TTaskbarProgress> TTaskbarProgress::Create() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return nullptr;
  return std::unique_ptr<TTaskbarProgress>(new TTaskbarProgress(bus));
}

TTaskbarProgress::TTaskbarProgress(const QDBusConnection& Bus) : FBus(Bus) {}

void TTaskbarProgress::SetProgressState(TProgressState State) {
  // An indeterminate state has no counterpart in the launcher API: it shows an
  // empty bar until the remove pass gives a fraction.
  if (State == psNoProgress)
    Send({{u"progress-visible"_qs, false}});
  else if (State == psIndeterminate)
    Send({{u"progress-visible"_qs, true}, {u"progress"_qs, 0.0}});
  else
    Send({{u"progress-visible"_qs, true}});
}

void TTaskbarProgress::SetProgressValue(int64_t Completed, int64_t Total) {
  double fraction = Total > 0 ? double(Completed) / double(Total) : 0.0;
  if (fraction > 1.0) fraction = 1.0;
  Send({{u"progress-visible"_qs, true}, {u"progress"_qs, fraction}});
}

void TTaskbarProgress::Send(const QVariantMap& Properties) {
  FLast = Properties;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromUtf8(LauncherPath),
                                                   QString::fromUtf8(LauncherInterface), u"Update"_qs);
  signal << QString::fromUtf8(ApplicationUri) << Properties;
  FBus.send(signal);
}

#pragma once
// Progress on the program's launcher entry (task bar or dock), through the
// com.canonical.Unity.LauncherEntry D-Bus signal for application://brisko.desktop.
#include <QDBusConnection>
#include <QVariantMap>
#include <cstdint>
#include <memory>

#include "engine/RemoveHost.h"

class TTaskbarProgress {
public:
  virtual ~TTaskbarProgress() = default;
  // Nothing without a session bus: the workers then show no progress.
  static std::unique_ptr<TTaskbarProgress> Create();

  virtual void SetProgressState(TProgressState State);
  virtual void SetProgressValue(int64_t Completed, int64_t Total);

  // The properties of the last signal sent (for the curious and for tests).
  const QVariantMap& LastProperties() const { return FLast; }

protected:
  explicit TTaskbarProgress(const QDBusConnection& Bus);

private:
  QDBusConnection FBus;
  QVariantMap FLast;
  void Send(const QVariantMap& Properties);
};

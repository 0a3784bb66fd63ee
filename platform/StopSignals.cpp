#include "platform/StopSignals.h"

#include <signal.h>

#include <cerrno>
#include <ctime>

namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
  return set;
}

}  // namespace

TStopSignals::TStopSignals(std::function<void(int Signal)> OnSignal) : FOnSignal(std::move(OnSignal)) {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  FWatcher = std::jthread([this, set](std::stop_token Stop) {
    // A short wait, so that the watcher notices when it is no longer wanted.
    const timespec wait{0, 100'000'000};
    while (!Stop.stop_requested()) {
      const int signal = sigtimedwait(&set, nullptr, &wait);
      if (signal <= 0) continue;
      int none = 0;
      FReceived.compare_exchange_strong(none, signal);
      if (FOnSignal) FOnSignal(signal);
    }
  });
}

// The signals stay blocked: one that comes after the watcher is gone waits, as the
// process is about to end anyway.
TStopSignals::~TStopSignals() = default;

#include "platform/StopSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

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
  FSignals = TFd(signalfd(-1, &set, SFD_CLOEXEC));
  FWake = TFd(eventfd(0, EFD_CLOEXEC));
  FWatcher = std::jthread([this] { Watch(); });
}

void TStopSignals::Watch() {
  pollfd watched[2] = {{FSignals.Get(), POLLIN, 0}, {FWake.Get(), POLLIN, 0}};
  while (true) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents) return;  // the owner is going
    signalfd_siginfo info{};
    if (read(FSignals.Get(), &info, sizeof info) != ssize_t(sizeof info)) continue;
    const int signal = int(info.ssi_signo);
    int none = 0;
    FReceived.compare_exchange_strong(none, signal);
    if (FOnSignal) FOnSignal(signal);
  }
}

// The signals stay blocked: one that comes after the watcher is gone waits, as the
// process is about to end anyway.
TStopSignals::~TStopSignals() {
  const uint64_t one = 1;
  if (write(FWake.Get(), &one, sizeof one) != ssize_t(sizeof one)) FWatcher.detach();
}

#include "platform/StopSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
  return set;
}

TFd Checked(int Fd, const char* What) {
  if (Fd < 0) throw std::system_error(errno, std::generic_category(), What);
  return TFd(Fd);
}

}  // namespace

TStopSignals::TStopSignals() {
  const sigset_t set = StopSet();
  if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr))
    throw std::system_error(error, std::generic_category(), "pthread_sigmask");
  FSignals = Checked(signalfd(-1, &set, SFD_CLOEXEC), "signalfd");
  FWake = Checked(eventfd(0, EFD_CLOEXEC), "eventfd");
  FWatcher = std::jthread([this] { Watch(); });
}

int TStopSignals::Forward(std::function<void(int Signal)> OnSignal) {
  std::lock_guard lock(FLock);
  FOnSignal = std::move(OnSignal);
  return FReceived.load();
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
    std::lock_guard lock(FLock);
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

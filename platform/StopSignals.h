#pragma once
// SIGTERM, SIGINT and SIGHUP as requests to end, taken on a thread of their own.
// systemd sends SIGTERM when a unit stops or the machine shuts down, and SIGKILL
// some time later: a run must stop at once and keep its record, not die in the middle.
//
// The constructor blocks the three signals in the calling thread, and so in every
// thread started after it: create the object first thing in main, before any other
// thread. From then on no signal is lost: one that comes while nobody listens is kept,
// and Forward answers it to whoever starts listening.
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/FileHandle.h"

class TStopSignals {
public:
  // Raises std::system_error when the watch cannot be set up: a program that went on
  // without it would die in the middle of a run on the first SIGTERM.
  TStopSignals();
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // Hands every later signal to OnSignal, on the watching thread; an empty OnSignal
  // hands none, and once Forward has returned the old OnSignal is not running and
  // will not run again, so what it reaches may go. Answers the first signal received
  // before the call (0 if none): OnSignal is not called for that one.
  int Forward(std::function<void(int Signal)> OnSignal);

  // The first signal received, or 0.
  int Received() const { return FReceived.load(); }

private:
  void Watch();

  std::mutex FLock;  // FOnSignal, and its calls
  std::function<void(int)> FOnSignal;
  std::atomic<int> FReceived{0};
  TFd FSignals;  // signalfd of the three signals
  TFd FWake;     // eventfd: the destructor's word to the watcher
  std::jthread FWatcher;
};

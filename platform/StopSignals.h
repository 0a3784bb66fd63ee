#pragma once
// SIGTERM, SIGINT and SIGHUP as requests to end, taken on a thread of their own.
// systemd sends SIGTERM when a unit stops or the machine shuts down, and SIGKILL
// some time later: a run must stop at once and keep its record, not die in the middle.
//
// The constructor blocks the three signals in the calling thread, and so in every
// thread started after it: create the object before any other thread. OnSignal runs
// on the watching thread, once per signal received.
#include <atomic>
#include <functional>
#include <thread>

#include "platform/FileHandle.h"

class TStopSignals {
public:
  explicit TStopSignals(std::function<void(int Signal)> OnSignal);
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // The first signal received, or 0.
  int Received() const { return FReceived.load(); }

private:
  void Watch();

  std::function<void(int)> FOnSignal;
  std::atomic<int> FReceived{0};
  TFd FSignals;  // signalfd of the three signals
  TFd FWake;     // eventfd: the destructor's word to the watcher
  std::jthread FWatcher;
};

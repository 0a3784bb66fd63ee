#pragma once
// A short hand-over between two threads: waiting a few microseconds before going to
// sleep saves two trips through the scheduler when the other side answers quickly,
// as it does when both threads have a processor. The wait yields all along, in case
// the other side is waiting for this very processor.
#include <chrono>
#include <thread>

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// True once Ready answers true within about 50 microseconds; false when the caller
// should go to sleep.
template <typename TReady>
bool SpinFor(const TReady& Ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
  do {
    for (int i = 0; i < 8; ++i) {
      if (Ready()) return true;
      CpuRelax();
    }
    std::this_thread::yield();
  } while (std::chrono::steady_clock::now() < until);
  return Ready();
}

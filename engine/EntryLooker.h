#pragma once
// Looks at the files of a row's list ahead of their removal, on a thread of its own.
// Removing a file for good takes two system calls: the look that checks it is still
// the entry the collect pass judged (statx), and the unlink. The looks need no lock of
// the folder, so on a machine with two processors they are made beside the unlinks
// instead of between them. A look is at most Window entries ahead of the removal:
// the check stands as close to the unlink as the removal's own pace allows.
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "engine/FolderSweep.h"
#include "engine/Reservation.h"

class TEntryLooker {
public:
  // What the look at one entry found: 0 and its status, or the errno of the look.
  struct TLook {
    int Error = 0;
    struct statx Status {};
  };

  // Looks at the non-folder entries of List, in list order, each relative to its
  // folder opened as the sweep listed it (Swept). List must outlive the looker.
  TEntryLooker(const TReservation& List, const TSweptFolder& Swept);
  ~TEntryLooker();
  TEntryLooker(const TEntryLooker&) = delete;
  TEntryLooker& operator=(const TEntryLooker&) = delete;

  // The look at entry Index, waiting for it; null for an entry that was not looked
  // at (a folder, or one whose folder could not be opened): its removal looks itself.
  // Indexes are asked in rising order.
  const TLook* Look(size_t Index);

  // Whether looking ahead pays on this machine: it needs a second processor.
  static bool Worthwhile();

  static constexpr size_t Window = 256;

private:
  void Run(std::stop_token Stop);

  struct TSlot {
    bool Looked = false;
    TLook Look;
  };
  const TReservation& FList;
  const TSweptFolder FSwept;
  std::vector<TSlot> FSlots;  // entry i in FSlots[i % Window]
  std::atomic<size_t> FDone{0};   // entries looked at (or passed over) so far
  std::atomic<size_t> FTaken{0};  // entries whose look the removal is through with
  // Each side sleeps only after saying so, and the other wakes it only then: the
  // flag and the counter are stored and read in one order (sequentially consistent),
  // so a side that goes to sleep is either seen or sees the other's progress.
  std::atomic<bool> FLookerWaits{false}, FRemovalWaits{false};
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::jthread FThread;  // last: starts once everything else is in place
};

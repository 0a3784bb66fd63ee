#include "engine/EntryLooker.h"

#include <fcntl.h>

#include <string>

#include "engine/SpinWait.h"
#include "platform/FileHandle.h"

namespace {

constexpr unsigned LookFields = STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME;

}  // namespace

TEntryLooker::TEntryLooker(const TReservation& List, const TSweptFolder& Swept)
    : FList(List), FSwept(Swept), FSlots(Window), FThread([this](std::stop_token Stop) { Run(std::move(Stop)); }) {}

TEntryLooker::~TEntryLooker() {
  FThread.request_stop();
  {
    std::lock_guard lock(FMutex);
    FChanged.notify_all();
  }
}

bool TEntryLooker::Worthwhile() { return std::thread::hardware_concurrency() > 1; }

void TEntryLooker::Run(std::stop_token Stop) {
  TFd folder;
  uint32_t folderId = 0;
  int folderError = 0;
  for (size_t i = 0; i < FList.size() && !Stop.stop_requested(); ++i) {
    // A full window waits until the removal has used half of it: the looker then
    // sleeps and wakes once per half window, not once per entry.
    if (i - FTaken >= Window) {
      std::unique_lock lock(FMutex);
      FLookerWaits = true;
      FChanged.wait(lock, [&] { return Stop.stop_requested() || i - FTaken <= Window / 2; });
      FLookerWaits = false;
      if (Stop.stop_requested()) break;
    }
    TSlot& slot = FSlots[i % Window];
    slot.Looked = false;
    const TEntryPlace place = FList.Place(i);
    if (FList.Found(i).Kind == ekNonFolder && place.FolderId != 0) {
      if (place.FolderId != folderId) {
        folderId = place.FolderId;
        folderError = OpenSweptFolder(std::string(place.Folder), FSwept, folder);
      }
      if (folderError == 0) {
        const std::string name(place.Name);
        slot.Look.Error = statx(folder.Get(), name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, LookFields,
                                &slot.Look.Status) == 0
                              ? 0
                              : errno;
        slot.Looked = true;
      }
    }
    FDone = i + 1;
    if (FRemovalWaits) {
      std::lock_guard lock(FMutex);
      FChanged.notify_all();
    }
  }
}

const TEntryLooker::TLook* TEntryLooker::Look(size_t Index) {
  // The looks before Index are done with: their slots may take new ones.
  FTaken = Index;
  if (FLookerWaits && FDone - Index <= Window / 2) {
    std::lock_guard lock(FMutex);
    FChanged.notify_all();
  }
  const auto ready = [&] { return FDone.load() > Index; };
  if (!SpinFor(ready)) {
    std::unique_lock lock(FMutex);
    FRemovalWaits = true;
    // The looker ends early only when it is stopped, which only the destructor does.
    FChanged.wait(lock, ready);
    FRemovalWaits = false;
  }
  const TSlot& slot = FSlots[Index % Window];
  return slot.Looked ? &slot.Look : nullptr;
}

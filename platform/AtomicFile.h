#pragma once
// Replacing a file so that a crash, a full disk or a refused write leaves either
// the old content or the new one, never a mix: the new content goes to a temporary
// file in the same folder, is flushed to the disk and renamed over the old name.
// Errors are answered as errno values; callers phrase their own messages.
#include <fcntl.h>

#include <string>
#include <string_view>

class TAtomicFile {
public:
  // Binds the file name; nothing is opened or created yet. A name that is a
  // symbolic link of the user or root replaces the file the link points to, so the
  // link survives; a link of another user is not followed and Open answers EPERM.
  explicit TAtomicFile(const std::string& FileName);
  // The file Name of the folder FolderFd (which may be a path handle, and must stay
  // open while this object lives): the temporary file is made and renamed there, and
  // no link is followed; a link at Name is itself replaced.
  TAtomicFile(int FolderFd, const std::string& Name);
  // Removes the temporary file unless Commit succeeded; never throws.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Creates the temporary file beside the target. 0 or errno; EACCES for a target
  // that is read-only.
  int Open();
  // Appends to the new content (buffered). 0 or errno of an earlier or this write.
  int Write(std::string_view Data);
  // Flushes, syncs, gives the temporary file the old file's permissions and owner
  // and renames it over the target. 0 or errno; on failure the target is untouched
  // and the temporary file is gone.
  int Commit();
  // The name that is actually replaced (the link target for a symbolic link).
  const std::string& TargetName() const { return FTarget; }

private:
  int Flush();
  void Discard();

  int FFolder = AT_FDCWD;  // unless bound to a folder handle
  std::string FTarget;
  std::string FTempName;
  std::string FBuffer;
  int FHandle = -1;
  int FError = 0;
  bool FCommitted = false;
};

// The whole new content in one step. 0 or errno.
int ReplaceFileContent(const std::string& FileName, std::string_view Content);
int ReplaceFileContentAt(int FolderFd, const std::string& Name, std::string_view Content);

// Writes all of Data to the open file Handle, going on after short writes and
// signals. 0 or errno.
int WriteAll(int Handle, std::string_view Data);

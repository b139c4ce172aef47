#pragma once

#include <string>

// An advisory lock on a folder (flock on the folder itself), so that two runs
// never write the same fixed-name files there. Nothing is left on disk: the
// kernel drops the lock when the holder ends, even by SIGKILL.
class FolderLock {
  public:
    // Tries once, without waiting.
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False only when another process holds the lock; a folder that cannot
    // be opened for locking (no read permission) is not locked, and not
    // refused.
    bool acquired() const { return _acquired; }

  private:
    int _fd = -1;
    bool _acquired = false;
};

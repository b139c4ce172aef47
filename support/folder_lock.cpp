#include "support/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

FolderLock::FolderLock(const std::string& folder) {
    _fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (_fd < 0) {
        _acquired = true;
        return;
    }
    int result = 0;
    do {
        result = ::flock(_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    _acquired = result == 0 || errno != EWOULDBLOCK;
}

FolderLock::~FolderLock() {
    if (_fd >= 0) {
        ::close(_fd);
    }
}

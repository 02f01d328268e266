#include "app/instance_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace app {

CInstanceLock::CInstanceLock(std::u16string folder) : path_(platform::joinPath(folder, kInstanceLockName)) {
    std::string native = platform::nativePath(path_);
    // Opened without O_CREAT first: another user's file in a sticky folder may refuse a create-open.
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(native.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::fchmod(fd, 0644);  // readable by every user, whatever the umask
    }
    if (fd < 0) return;  // no lock file: run unguarded rather than not at all
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        alreadyRunning_ = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

CInstanceLock::~CInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace app

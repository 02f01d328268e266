#pragma once
// The single-instance guard of the desktop program: an exclusive lock on a file in /tmp named after
// the mutex "Global\{KELVATOOLSMBOX2PSTCONV_EXE}", held for the life of the process, so there is one
// instance per machine whichever user started it.
#include <string>

namespace app {

inline constexpr char16_t kInstanceLockName[] = u"Global_{KELVATOOLSMBOX2PSTCONV_EXE}.lock";

class CInstanceLock {
public:
    explicit CInstanceLock(std::u16string folder = u"/tmp");
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // True when another process holds the lock (ERROR_ALREADY_EXISTS).
    bool alreadyRunning() const { return alreadyRunning_; }
    bool held() const { return fd_ >= 0; }
    const std::u16string& path() const { return path_; }

private:
    std::u16string path_;
    int fd_ = -1;
    bool alreadyRunning_ = false;
};

}  // namespace app

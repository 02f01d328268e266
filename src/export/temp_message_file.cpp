#include "export/temp_message_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/paths.h"
#include "scan/temp_files.h"

namespace exporter {

TempMessageFile::~TempMessageFile() { removeCurrent(); }

void TempMessageFile::removeCurrent() {
    if (folder_ && !name_.empty()) ::unlinkat(folder_.get(), name_.c_str(), 0);
    name_.clear();
}

// Makes the file's name the last part of path, renaming the previous message's file when there is one.
bool TempMessageFile::moveTo(const std::u16string& path) {
    const std::u16string folder = platform::folderOf(path);
    if (!folder_ || folder != folderPath_) {
        removeCurrent();
        folder_ = scan::openPrivateFolderOf(path);
        folderPath_ = folder;
        if (!folder_) return false;
    }
    const std::string name = platform::nativePath(platform::fileNameOf(path));
    if (!name_.empty() && name_ != name && ::renameat(folder_.get(), name_.c_str(), folder_.get(), name.c_str()) != 0)
        removeCurrent();
    name_ = name;
    return true;
}

// The file is opened afresh each time: a rebuild of the message may have replaced it.
int TempMessageFile::openCurrent() {
    int fd = ::openat(folder_.get(), name_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = ::openat(folder_.get(), name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    return fd;
}

bool TempMessageFile::write(const std::u16string& path, std::string_view bytes) {
    if (!moveTo(path)) return false;
    platform::Descriptor file(openCurrent());
    if (!file) return false;
    // Written from the start and cut after the new bytes, never truncated to nothing first.
    bool ok = platform::writeAll(file.get(), bytes) && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) == 0;
    if (::close(file.release()) != 0) ok = false;
    if (!ok) removeCurrent();
    return ok;
}

}  // namespace exporter

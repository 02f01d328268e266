#pragma once
// The temporary copy of the message being imported. One file serves a whole mailbox: the previous
// message's file is renamed to the next name and overwritten, because creating and deleting a file
// per message costs more than the import itself on some file systems. The file lives in the private
// temporary folder and is reached through the folder's descriptor: created with O_EXCL, mode 0600,
// and never through a symbolic link.
#include <string>
#include <string_view>

#include "platform/file_output.h"

namespace exporter {

class TempMessageFile {
public:
    TempMessageFile() = default;
    ~TempMessageFile();  // removes the file
    TempMessageFile(const TempMessageFile&) = delete;
    TempMessageFile& operator=(const TempMessageFile&) = delete;

    // Puts bytes into the file named path (in a private folder); false when they could not be written.
    bool write(const std::u16string& path, std::string_view bytes);

private:
    bool moveTo(const std::u16string& path);
    int openCurrent();
    void removeCurrent();

    platform::Descriptor folder_;
    std::u16string folderPath_;
    std::string name_;  // native name of the file in folder_, empty when there is none
};

}  // namespace exporter

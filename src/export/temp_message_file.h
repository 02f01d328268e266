#pragma once
// The temporary copy of the message being imported. One file serves a whole mailbox: the previous
// message's file is renamed to the next name and overwritten, because creating and deleting a file
// per message costs more than the import itself on some file systems.
#include <string>
#include <string_view>

namespace exporter {

class TempMessageFile {
public:
    TempMessageFile() = default;
    ~TempMessageFile();  // removes the file
    TempMessageFile(const TempMessageFile&) = delete;
    TempMessageFile& operator=(const TempMessageFile&) = delete;

    // Puts bytes into the file named path; false when they could not be written.
    bool write(const std::u16string& path, std::string_view bytes);

private:
    std::u16string current_;
};

}  // namespace exporter

#pragma once
// The mailbox catalogue's value types: one opened mailbox with its message offsets, a catalogue row,
// and the summary the message list shows for one message.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/cfile.h"
#include "platform/window_message.h"

namespace scan {

// Which reading method a scan uses: windowed reads of the file, or positioned reads through the file
// handle at every byte position (the fallback; slow, and used when the window cannot be allocated).
enum class ScanPath { Windowed, Fallback };

class CMboxFile {
public:
    CMboxFile() = default;
    CMboxFile(const CMboxFile&) = delete;
    CMboxFile& operator=(const CMboxFile&) = delete;

    platform::CFile file;
    std::vector<std::uint64_t> messageOffsets;
    std::vector<std::u16string> imAttachmentNames;
    std::u16string attachmentsFolder;
    platform::MessageTarget* notifyWindow = nullptr;
    std::atomic<bool> keepRunning{true};
    // The file's size when last looked at (see readMessage).
    std::atomic<std::uint64_t> sizeSeen{0};

    // Splits at LF or CR followed by "From ". Always returns 1.
    int scanFromLines(ScanPath path = ScanPath::Windowed);
    // Splits an .imm mailbox at "MIME-Version: 1.0" lines; path names the same file. Always returns 1.
    int scanMimeVersion(const std::u16string& path, ScanPath method = ScanPath::Windowed);

    // Number of messages: entries - 1, or 0.
    std::uint64_t messageCount() const { return messageOffsets.size() < 2 ? 0 : messageOffsets.size() - 1; }
    // Start and length of message k; a message whose end is not above its start has length 0, and an
    // index outside the list gives length 0.
    struct Span {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    Span messageSpan(std::uint64_t k) const;
};

struct MboxEntry {
    std::unique_ptr<CMboxFile> mbox;
    std::u16string path;
    bool isImm = false;
    bool hasAttachmentsFolder = false;
};

struct MessageSummary {
    std::u16string to;
    std::u16string from;
    std::u16string subject;
    std::u16string date;
    bool hasAttachments = false;
};

// True when the last four characters of the path are exactly ".imm".
bool isImmPath(const std::u16string& path);

}  // namespace scan

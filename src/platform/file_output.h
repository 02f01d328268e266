#pragma once
// Reading and writing whole files at once, and creating output below a chosen folder.
//
// Output roots: a folder the user chose for output (the destination) is registered as a root. Every
// file and folder created below a root is reached from the root's descriptor with openat/mkdirat and
// O_NOFOLLOW, part by part, so a symbolic link planted inside the destination (dangling or not) never
// sends output elsewhere; the root itself is opened as given, since the user may have chosen a link.
// Paths outside every root are opened as given.
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// An open file descriptor, closed when the object goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    explicit operator bool() const { return fd_ >= 0; }
    int get() const { return fd_; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Registers the folder (created when missing) as an output root; registering it again is harmless.
void addOutputRoot(const std::u16string& folder);

// Opens the file with open(2) flags (O_WRONLY or O_RDWR, O_CREAT, O_TRUNC, O_EXCL ...) and mode; below
// an output root without following any symbolic link below the root. -1 with errno on failure.
int openOutputFile(const std::u16string& path, int flags, mode_t mode = 0644);
int openOutputFile(const std::string& nativePath, int flags, mode_t mode = 0644);
// Creates the folder and its missing parents; below an output root no part may be a symbolic link.
// True when it is a folder afterwards.
bool makeOutputFolders(const std::u16string& path);
// Removes the file (never a folder; a symbolic link is removed itself).
bool removeOutputFile(const std::u16string& path);
bool removeOutputFile(const std::string& nativePath);

enum class Claim { Claimed, Taken, Failed };
// Creates the folder, or the empty file, only when nothing of that name exists: Taken when something
// does (so that concurrent runs never share a name), Failed when it cannot be created at all.
Claim claimOutputFolder(const std::u16string& path);
Claim claimOutputFile(const std::u16string& path);

// Writes the bytes to a new file at path (replacing one that exists); false when the file cannot be
// created or written (errno says why), in which case no partial file is left.
bool writeWholeFile(const std::u16string& path, std::string_view bytes);
// The same for a file that is rewritten again and again: written from its start and cut after the new
// bytes, never truncated to nothing first (ext4 answers a truncate-and-rewrite with a flush to disk).
bool rewriteFileInPlace(const std::u16string& path, std::string_view bytes);
// Writes all bytes at the descriptor's position; false on any failure.
bool writeAll(int fd, std::string_view bytes);
// A folder opened once (below an output root without following any link, as openOutputFile reaches
// it) for writing many files into it by name: each write then opens only the file itself. The folder
// is the one that was there when it was opened, even if something is renamed afterwards.
class OutputFolder {
public:
    explicit OutputFolder(const std::u16string& folder);
    explicit operator bool() const { return static_cast<bool>(fd_); }
    // writeWholeFile for the file of that name (no separator) in the folder; the file is never reached
    // through a link.
    bool writeWholeFile(const std::string& name, std::string_view bytes);
    int descriptor() const { return fd_.get(); }

private:
    Descriptor fd_;
};

struct HeldFolder;

// While it lives, the files directly in `folder` (below an output root) that this thread creates,
// claims, writes or removes by path are reached from the folder's descriptor, opened once (when first
// needed, once the folder exists) as openOutputFile reaches it, instead of from the root part by part.
class HeldOutputFolder {
public:
    explicit HeldOutputFolder(const std::u16string& folder);
    ~HeldOutputFolder();
    HeldOutputFolder(const HeldOutputFolder&) = delete;
    HeldOutputFolder& operator=(const HeldOutputFolder&) = delete;

private:
    std::unique_ptr<HeldFolder> held_;
};

// Reads the whole file into bytes; false when it cannot be opened or read.
bool readWholeFile(const std::u16string& path, std::string& bytes);

}  // namespace platform

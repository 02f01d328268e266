#pragma once
// The activity log file: one per start, "KelvaMbox2PSTConv_log_" + date and time + ".txt" in the
// desktop folder, UTF-16LE with a byte-order mark, each line ended by CR LF and written at once. A
// second start within the same second appends to the same file after a new banner.
#include <ctime>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::size_t kBannerLength = 149;

// UTF-16LE with FF FE and CR LF (the desktop program's file), or UTF-8 with LF (the command line's).
enum class LogEncoding { Utf16, Utf8 };

// "%b-%d-%Y(%I-%M-%S-%p)" in the C locale, e.g. "Dec-08-2026(09-39-06-PM)".
std::u16string timestampText(const std::tm& local);
// "KelvaMbox2PSTConv_log_8-12-2026-21-39-6.txt": day, month, year, hour, minute, second, no padding.
std::u16string logFileName(const std::tm& local);
// The local time now.
std::tm localNow();

class CActivityLog {
public:
    CActivityLog() = default;
    ~CActivityLog();
    CActivityLog(const CActivityLog&) = delete;
    CActivityLog& operator=(const CActivityLog&) = delete;

    // Builds the file name in folder, creates the file (with FF FE) or opens it at its end, and writes
    // the banner. The path is set even when the file cannot be opened; false then.
    bool create(const std::u16string& folder, const std::tm& local, LogEncoding encoding = LogEncoding::Utf16);
    // Writes the line and CR LF; false when there is no file or the write failed.
    bool writeLine(std::u16string_view line);
    bool isOpen() const { return fd_ >= 0; }
    const std::u16string& path() const { return path_; }
    void close();

private:
    bool writeAll(const std::string& bytes);
    int fd_ = -1;
    LogEncoding encoding_ = LogEncoding::Utf16;
    std::u16string path_;
};

}  // namespace app

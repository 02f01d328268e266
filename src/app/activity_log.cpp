#include "app/activity_log.h"

#include <cerrno>
#include <fcntl.h>
#include <iomanip>
#include <locale>
#include <sstream>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/paths.h"

namespace app {
namespace {

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string utf16le(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 4);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace

std::u16string timestampText(const std::tm& local) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::put_time(&local, "%b-%d-%Y(%I-%M-%S-%p)");
    return widen(text.str());
}

std::u16string logFileName(const std::tm& local) {
    std::ostringstream text;
    text << "KelvaMbox2PSTConv_log_" << local.tm_mday << '-' << (local.tm_mon + 1) << '-' << (local.tm_year + 1900)
         << '-' << local.tm_hour << '-' << local.tm_min << '-' << local.tm_sec << ".txt";
    return widen(text.str());
}

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

CActivityLog::~CActivityLog() { close(); }

void CActivityLog::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CActivityLog::create(const std::u16string& folder, const std::tm& local, LogEncoding encoding) {
    encoding_ = encoding;
    path_ = platform::withTrailingSeparator(folder) + logFileName(local);
    close();
    std::string native = platform::nativePath(path_);
    bool fresh = true;
    fd_ = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == EEXIST) {
        fresh = false;
        fd_ = ::open(native.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    }
    if (fd_ < 0) return false;
    if (fresh && encoding_ == LogEncoding::Utf16 && !writeAll("\xFF\xFE")) return false;
    return writeLine(std::u16string(kBannerLength, u'*'));
}

bool CActivityLog::writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CActivityLog::writeLine(std::u16string_view line) {
    if (fd_ < 0) return false;
    if (encoding_ == LogEncoding::Utf8) return writeAll(platform::utf16ToUtf8(line) + '\n');
    std::string bytes = utf16le(line);
    bytes.append("\r\0\n\0", 4);
    return writeAll(bytes);
}

}  // namespace app

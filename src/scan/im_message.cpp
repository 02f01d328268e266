// The .imm helpers: attachment names after "[%ImFilePath%]" markers and header lines read straight
// from the message bytes.
#include <cstring>

#include "platform/codepage.h"
#include "scan/message_summary.h"

namespace scan {

namespace {
constexpr std::string_view kImFilePathMarker = "[%ImFilePath%]";
}

std::vector<std::u16string> imAttachmentNames(std::string_view bytes) {
    std::vector<std::u16string> names;
    if (bytes.size() < 15) return names;
    std::size_t at = 0;
    while ((at = bytes.find(kImFilePathMarker, at)) != std::string_view::npos) {
        std::size_t start = at + kImFilePathMarker.size();
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        names.push_back(platform::ansiBytesToUtf16(bytes.substr(start, end - start)));
        at = start;
    }
    return names;
}

bool collectImAttachmentNames(std::string_view bytes, CMboxFile& mbox) {
    std::vector<std::u16string> names = imAttachmentNames(bytes);
    mbox.imAttachmentNames.insert(mbox.imAttachmentNames.end(), names.begin(), names.end());
    return !names.empty();
}

std::u16string findImHeaderLine(std::string_view bytes, std::string_view fieldName) {
    if (fieldName.empty() || bytes.size() < fieldName.size()) return {};
    const std::size_t lastStart = bytes.size() - fieldName.size();
    std::size_t lineStart = 0;
    while (lineStart <= lastStart) {
        if (bytes.compare(lineStart, fieldName.size(), fieldName) == 0) {
            std::size_t valueStart = lineStart + fieldName.size();
            std::size_t end = bytes.find('\n', valueStart);
            if (end == std::string_view::npos) end = bytes.size();
            if (end > valueStart) return platform::ansiBytesToUtf16(bytes.substr(valueStart, end - valueStart));
        }
        std::size_t lf = bytes.find('\n', lineStart);
        if (lf == std::string_view::npos) break;
        lineStart = lf + 1;
    }
    return {};
}

}  // namespace scan

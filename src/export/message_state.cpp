#include "export/message_state.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "export/gmail_labels.h"
#include "export/mail_headers.h"
#include "mime/text_util.h"

namespace exporter {
namespace {

std::optional<unsigned> mozillaStatus(std::string_view message) {
    const std::vector<std::string> values = headerValues(message, "X-Mozilla-Status");
    if (values.empty() || values.front().empty() || values.front().size() > 8) return std::nullopt;
    unsigned bits = 0;
    for (char c : values.front()) {
        const char lower = static_cast<char>(c | 0x20);
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (lower >= 'a' && lower <= 'f')
            digit = static_cast<unsigned>(lower - 'a' + 10);
        else
            return std::nullopt;
        bits = bits * 16 + digit;
    }
    return bits;
}

// The letters of the first Status and X-Status fields; nothing when neither is there.
std::optional<std::string> statusLetters(std::string_view message, std::string_view name) {
    const std::vector<std::string> values = headerValues(message, name);
    if (values.empty()) return std::nullopt;
    return values.front();
}

bool hasLabel(const std::vector<std::string>& labels, std::string_view wanted) {
    return std::any_of(labels.begin(), labels.end(),
                       [&](const std::string& l) { return mime::EqualsNoCase(l, wanted); });
}

}  // namespace

library::MessageState messageStateOf(std::string_view message) {
    library::MessageState state;
    const std::optional<std::vector<std::string>> labels = gmailLabels(message);
    const std::optional<unsigned> mozilla = mozillaStatus(message);
    const std::optional<std::string> status = statusLetters(message, "Status");
    const std::string xStatus = statusLetters(message, "X-Status").value_or("");
    if (labels)
        state.read = !hasLabel(*labels, "Unread");
    else if (mozilla)
        state.read = (*mozilla & kMozillaRead) != 0;
    else if (status)
        state.read = status->find('R') != std::string::npos;
    const std::string letters = status.value_or("") + xStatus;
    state.replied = (mozilla && (*mozilla & kMozillaReplied)) || letters.find('A') != std::string::npos;
    state.forwarded = mozilla && (*mozilla & kMozillaForwarded);
    state.flagged = (mozilla && (*mozilla & kMozillaMarked)) || letters.find('F') != std::string::npos ||
                    (labels && hasLabel(*labels, "Starred"));
    return state;
}

}  // namespace exporter

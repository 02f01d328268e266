#include "scan/message_summary.h"

#include <algorithm>

#include "mime/message_render.h"
#include "scan/message_reader.h"

namespace scan {
namespace {

std::u16string displayValue(const mime::CMimeHeader& header, std::string_view name) {
    const std::optional<std::string> value = header.FieldText(name);
    return value ? mime::ToDisplayText(*value) : std::u16string();
}

bool anyLeafNamed(const mime::CMimeMessage& message) {
    std::vector<const mime::CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    for (const mime::CMimeBody* leaf : leaves)
        if (leaf->HasAttachmentName()) return true;
    return false;
}

}  // namespace

MessageSummary summarizeMessage(std::string& bytes, bool isImm, const CMboxFile& mbox) {
    // The text counts up to its first zero byte, as the message text does everywhere else.
    std::string_view text(bytes.data(), std::min(bytes.size(), std::string_view(bytes).find('\0')));
    if (!hasCrLf(text)) normalizeLineEnds(bytes);

    std::size_t start = bytes.compare(0, 2, "\r\n") == 0 ? 2 : 0;
    mime::CMimeMessage message;
    // Names and header fields are all the summary needs: no content is decoded.
    message.ParseOutline(bytes.data() + start, static_cast<std::int64_t>(bytes.size() - start));

    MessageSummary summary;
    summary.to = displayValue(message, "To");
    summary.from = displayValue(message, "From");
    summary.subject = displayValue(message, "Subject");
    if (const std::optional<std::string> date = message.DateText()) summary.date = mime::ToDisplayText(*date);
    summary.hasAttachments = isImm ? !mbox.imAttachmentNames.empty() : anyLeafNamed(message);
    return summary;
}

}  // namespace scan

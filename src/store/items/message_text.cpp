#include "store/items/message_text.h"

#include <ctime>

#include "platform/codepage.h"
#include "store/items/attachment_files.h"
#include "mime/html_text.h"
#include "store/mapi/codepages.h"
#include "store/mapi/property_tags.h"

namespace store::items {
using mime::htmlToText;

using namespace store::mapi;

namespace {

std::u16string normalizeLineEnds(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // The text between line breaks is copied a run at a time.
        std::size_t end = i;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
        out.append(text, i, end - i);
        if (end == text.size()) break;
        i = end;
        out += u"\r\n";
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    }
    return out;
}

// "Name <address>", or whichever of the two there is.
std::u16string nameAndAddress(const std::optional<std::u16string>& name, const std::optional<std::u16string>& address) {
    const std::u16string n = name.value_or(u"");
    const std::u16string a = address.value_or(u"");
    if (n.empty() || n == a) return a;
    if (a.empty()) return n;
    return n + u" <" + a + u">";
}

std::optional<std::u16string> smtpAddress(const PropertyBag& bag, PropTag smtp, PropTag email, PropTag type) {
    if (auto s = bag.getString(smtp); s && !s->empty()) return s;
    const auto kind = bag.getString(type);
    if (!kind || *kind == u"SMTP") return bag.getString(email);
    return std::nullopt;
}

std::u16string recipientList(const Message& message, std::int32_t type, PropTag displayList) {
    std::u16string out;
    for (const auto& r : message.recipients) {
        if (r.getLong(PidTagRecipientType).value_or(MAPI_TO) != type) continue;
        const auto entry = nameAndAddress(r.getString(PidTagDisplayName),
                                          smtpAddress(r, PidTagSmtpAddress, PidTagEmailAddress, PidTagAddressType));
        if (entry.empty()) continue;
        if (!out.empty()) out += u"; ";
        out += entry;
    }
    if (out.empty()) out = message.props.getString(displayList).value_or(u"");
    return out;
}

}  // namespace

// Each run of units from 0x80 on is converted by itself: a unit's UTF-8 depends only on its neighbours
// within such a run (surrogate pairs), so the result is the whole text's conversion.
std::string utf8Text(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        if (text[i] < 0x80) {
            while (end < text.size() && text[end] < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
        } else {
            while (end < text.size() && text[end] >= 0x80) ++end;
            out += platform::utf16ToUtf8(text.substr(i, end - i));
        }
        i = end;
    }
    return out;
}

std::optional<std::string> htmlBodyUtf8(const Message& message) {
    const Property* p = message.props.find(PidTagHtml);
    if (!p) return std::nullopt;
    if (p->type == PT_UNICODE || p->type == PT_STRING8) {
        return utf8Text(*message.props.getString(PidTagHtml));
    }
    if (p->type != PT_BINARY) return std::nullopt;
    const auto codepage = message.props.getLong(PidTagInternetCodepage);
    if (!codepage) {
        if (platform::isValidUtf8(p->data)) return p->data;
        return utf8Text(decodeCodepage(1252, p->data));
    }
    if (*codepage == 65001) {
        // Valid UTF-8 comes back from the round trip through UTF-16 as it is.
        if (platform::isValidUtf8(p->data)) return p->data;
        return utf8Text(platform::utf8ToUtf16(p->data));
    }
    return utf8Text(decodeCodepage(*codepage, p->data));
}

std::u16string plainTextOf(const Message& message) {
    if (auto body = message.props.getString(PidTagBody); body && !body->empty()) return normalizeLineEnds(*body);
    if (auto html = htmlBodyUtf8(message)) return platform::utf8ToUtf16(htmlToText(*html));
    return {};
}

std::vector<HeaderLine> headerLines(const ItemHeader& h) {
    std::vector<HeaderLine> lines;
    const HeaderLine all[] = {{"From", h.from},
                              {"Sent", h.sent},
                              {"To", h.to},
                              {"Cc", h.cc},
                              {"Subject", h.subject.empty() ? std::u16string_view(u" ") : h.subject}};
    for (const HeaderLine& line : all) {
        if (!line.value.empty()) lines.push_back(line);
    }
    return lines;
}

std::string joinAttachments(
    const ItemHeader& h,
    const std::function<std::string(std::u16string_view name, std::u16string_view link)>& entry) {
    std::string out;
    for (std::size_t i = 0; i < h.attachments.size(); ++i) {
        if (i > 0) out += "; ";
        out += entry(h.attachments[i],
                     i < h.attachmentLinks.size() ? h.attachmentLinks[i] : std::u16string_view());
    }
    return out;
}

ItemHeader itemHeaderOf(const Message& message, const std::vector<std::u16string>& savedFiles) {
    const PropertyBag& p = message.props;
    ItemHeader h;
    h.from = nameAndAddress(p.getString(PidTagSentRepresentingName),
                            smtpAddress(p, PidTagSentRepresentingSmtpAddress, PidTagSentRepresentingEmailAddress,
                                        PidTagSentRepresentingAddressType));
    if (h.from.empty()) {
        h.from = nameAndAddress(p.getString(PidTagSenderName),
                                smtpAddress(p, PidTagSenderSmtpAddress, PidTagSenderEmailAddress, PidTagSenderAddressType));
    }
    auto time = p.getTime(PidTagClientSubmitTime);
    if (!time) time = p.getTime(PidTagMessageDeliveryTime);
    if (time) h.sent = formatSentTime(*time);
    h.to = recipientList(message, MAPI_TO, PidTagDisplayTo);
    h.cc = recipientList(message, MAPI_CC, PidTagDisplayCc);
    h.subject = p.getString(PidTagSubject).value_or(u"");
    for (std::size_t i = 0; i < message.attachments.size(); ++i) {
        const Attachment& a = message.attachments[i];
        if (a.props.getBool(PidTagAttachmentHidden).value_or(false)) continue;
        const bool saved = i < savedFiles.size() && !savedFiles[i].empty();
        std::u16string link = saved ? savedFiles[i] : std::u16string();
        const std::size_t slash = link.rfind(u'/');
        h.attachments.push_back(saved ? link.substr(slash == std::u16string::npos ? 0 : slash + 1) : attachmentFileName(a));
        h.attachmentLinks.push_back(std::move(link));
    }
    return h;
}

std::string ItemDocument::withHeader(std::string_view header) const {
    if (headerAt == std::string::npos) return bytes;
    std::string out;
    out.reserve(bytes.size() - headerSize + header.size());
    out.append(bytes, 0, headerAt);
    out.append(header);
    out.append(bytes, headerAt + headerSize);
    return out;
}

std::u16string formatSentTime(FileTime time) {
    static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    const std::time_t seconds = static_cast<std::time_t>(unixFromFileTime(time));
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return {};
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[96];
    std::snprintf(text, sizeof text, "%s, %s %d, %d %d:%02d %s", kDays[local.tm_wday % 7], kMonths[local.tm_mon % 12],
                  local.tm_mday, local.tm_year + 1900, hour12, local.tm_min, local.tm_hour < 12 ? "AM" : "PM");
    return platform::utf8ToUtf16(text);
}

}  // namespace store::items

#include "store/import/envelope_import.h"

#include "mime/charset_text.h"
#include "mime/field_text.h"
#include "mime/text_util.h"
#include "platform/codepage.h"
#include "store/import/address_list.h"
#include "store/import/date_time.h"
#include "store/import/entry_ids.h"
#include "store/import/import_tags.h"
#include "store/mapi/property_tags.h"

namespace store::import {

using namespace store::mapi;
using mime::CMimeHeader;
using mime::CMimeHeaderField;

namespace {

constexpr std::u16string_view kSmtp = u"SMTP";

// Header text with line breaks and tabs turned into spaces and both ends trimmed.
std::u16string fieldText(const CMimeHeaderField& field) {
    std::u16string text = mime::DecodeFieldText(field.RawValue());
    for (char16_t& c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
    }
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    const std::size_t last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

// Identifier fields (Message-ID, In-Reply-To, References): unfolded, blanks collapsed.
std::u16string identifierText(const CMimeHeaderField& field) {
    return mime::CollapseBlanks(mime::DecodeUnlabelled(mime::Unfold(field.RawValue())));
}

std::vector<Mailbox> mailboxesOf(const CMimeHeader& header, std::string_view name, const StopRequest& stop = {}) {
    std::vector<Mailbox> out;
    for (const CMimeHeaderField& f : header.Fields()) {
        if (!mime::EqualsNoCase(f.name, name)) continue;
        for (Mailbox& m : parseAddressList(f.RawValue(), stop)) out.push_back(std::move(m));
    }
    return out;
}

std::u16string displayNameOf(const Mailbox& m) { return m.name.empty() ? m.address : m.name; }

struct AddressTags {
    PropTag name, email, type, smtp, searchKey, entryId;
};

constexpr AddressTags kSenderTags{PidTagSenderName, PidTagSenderEmailAddress, PidTagSenderAddressType,
                                  PidTagSenderSmtpAddress, PidTagSenderSearchKey, PidTagSenderEntryId};
constexpr AddressTags kRepresentingTags{PidTagSentRepresentingName, PidTagSentRepresentingEmailAddress,
                                        PidTagSentRepresentingAddressType, PidTagSentRepresentingSmtpAddress,
                                        PidTagSentRepresentingSearchKey, PidTagSentRepresentingEntryId};

void setAddress(PropertyBag& props, const AddressTags& tags, const Mailbox& m) {
    props.setString(tags.name, displayNameOf(m));
    if (m.address.empty()) return;
    props.setString(tags.email, m.address);
    props.setString(tags.type, kSmtp);
    // A local name without a domain (MAILER-DAEMON) is kept as the e-mail address only: readers take
    // an SMTP address property for a whole address and prefer it to the e-mail address.
    if (m.address.find(u'@') != std::u16string::npos) props.setString(tags.smtp, m.address);
    props.setBinary(tags.searchKey, searchKey(kSmtp, m.address));
    props.setBinary(tags.entryId, oneOffEntryId(displayNameOf(m), kSmtp, m.address));
}

PropertyBag recipientRow(const Mailbox& m, std::int32_t type, std::int32_t row) {
    PropertyBag r;
    r.reserve(16);
    const std::u16string name = displayNameOf(m);
    r.setLong(PidTagRowid, row);
    r.setLong(PidTagRecipientType, type);
    r.setString(PidTagDisplayName, name);
    r.setString(PidTagRecipientDisplayName, name);
    r.setString(PidTagTransmittableDisplayName, name);
    r.setLong(PidTagObjectType, MAPI_MAILUSER);
    r.setLong(PidTagDisplayType, DT_MAILUSER);
    r.setLong(PidTagRecipientFlags, static_cast<std::int32_t>(recipSendable));
    r.setBool(PidTagResponsibility, false);
    r.setBool(PidTagSendRichInfo, false);
    if (!m.address.empty()) {
        r.setString(PidTagAddressType, kSmtp);
        r.setString(PidTagEmailAddress, m.address);
        r.setString(PidTagSmtpAddress, m.address);
        r.setBinary(PidTagSearchKey, searchKey(kSmtp, m.address));
        const std::string entryId = oneOffEntryId(name, kSmtp, m.address);
        r.setBinary(PidTagEntryId, entryId);
        r.setBinary(PidTagRecipientEntryId, entryId);
    }
    return r;
}

void importSubject(const CMimeHeader& header, PropertyBag& props) {
    const auto* field = header.LookupField("Subject");
    const std::u16string subject = field ? fieldText(*field) : std::u16string();
    const SubjectParts parts = splitSubject(subject);
    props.setString(PidTagSubject, subject);
    props.setString(PidTagSubjectPrefix, parts.prefix);
    props.setString(PidTagNormalizedSubject, parts.normalized);
    props.setString(PidTagConversationTopic, parts.normalized);
}

void importSenders(const CMimeHeader& header, PropertyBag& props) {
    const std::vector<Mailbox> from = mailboxesOf(header, "From");
    const std::vector<Mailbox> sender = mailboxesOf(header, "Sender");
    const Mailbox* representing = !from.empty() ? &from.front() : !sender.empty() ? &sender.front() : nullptr;
    const Mailbox* actual = !sender.empty() ? &sender.front() : representing;
    if (representing) setAddress(props, kRepresentingTags, *representing);
    if (actual) setAddress(props, kSenderTags, *actual);
}

void importRecipients(const CMimeHeader& header, Message& message, const StopRequest& stop) {
    struct Kind {
        const char* field;
        std::int32_t type;
        PropTag display;
    };
    constexpr Kind kKinds[] = {{"To", MAPI_TO, PidTagDisplayTo}, {"Cc", MAPI_CC, PidTagDisplayCc}, {"Bcc", MAPI_BCC, PidTagDisplayBcc}};
    for (const Kind& kind : kKinds) {
        std::u16string display;
        for (const Mailbox& m : mailboxesOf(header, kind.field, stop)) {
            throwIfStopped(stop);
            const auto row = static_cast<std::int32_t>(message.recipients.size());
            message.recipients.push_back(recipientRow(m, kind.type, row));
            if (!display.empty()) display += u"; ";
            display += displayNameOf(m);
        }
        message.props.setString(kind.display, display);
    }
}

void importReplyTo(const CMimeHeader& header, PropertyBag& props) {
    const std::vector<Mailbox> replyTo = mailboxesOf(header, "Reply-To");
    if (replyTo.empty()) return;
    std::u16string names;
    std::vector<std::string> entries;
    for (const Mailbox& m : replyTo) {
        if (m.address.empty()) continue;
        if (!names.empty()) names += u"; ";
        names += displayNameOf(m);
        entries.push_back(oneOffEntryId(displayNameOf(m), kSmtp, m.address));
    }
    if (entries.empty()) return;
    props.setString(PidTagReplyRecipientNames, names);
    props.setBinary(PidTagReplyRecipientEntries, flatEntryList(entries));
}

// A header date as FILETIME; nothing when it cannot be read or lies before 1601.
std::optional<FileTime> fileTimeOf(std::optional<std::int64_t> unix) {
    if (!unix) return std::nullopt;
    const FileTime time = fileTimeFromUnix(*unix);
    if (time.ticks == 0) return std::nullopt;
    return time;
}

void importTimes(const CMimeHeader& header, PropertyBag& props) {
    std::optional<FileTime> date;
    if (const auto* f = header.LookupField("Date")) date = fileTimeOf(parseMailDate(mime::Unfold(f->RawValue())));
    std::optional<FileTime> received;
    if (const auto* f = header.LookupField("Received"))
        received = fileTimeOf(parseReceivedDate(mime::Unfold(f->RawValue())));
    if (date) props.setTime(PidTagClientSubmitTime, *date);
    if (received || date) props.setTime(PidTagMessageDeliveryTime, received ? *received : *date);
}

void importIdentifiers(const CMimeHeader& header, PropertyBag& props) {
    if (const auto* f = header.LookupField("Message-ID")) props.setString(PidTagInternetMessageId, identifierText(*f));
    if (const auto* f = header.LookupField("In-Reply-To")) props.setString(PidTagInReplyToId, identifierText(*f));
    if (const auto* f = header.LookupField("References")) props.setString(PidTagInternetReferences, identifierText(*f));
}

std::string lowerAscii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c) : '?');
    return out;
}

std::int32_t importanceOf(const CMimeHeader& header) {
    if (const auto* f = header.LookupField("Importance")) {
        const std::string v = lowerAscii(fieldText(*f));
        if (v.starts_with("high")) return IMPORTANCE_HIGH;
        if (v.starts_with("low")) return IMPORTANCE_LOW;
        if (v.starts_with("normal")) return IMPORTANCE_NORMAL;
    }
    if (const auto* f = header.LookupField("X-Priority")) {
        const std::string v = lowerAscii(fieldText(*f));
        if (!v.empty() && v[0] >= '1' && v[0] <= '5') {
            return v[0] <= '2' ? IMPORTANCE_HIGH : v[0] == '3' ? IMPORTANCE_NORMAL : IMPORTANCE_LOW;
        }
    }
    if (const auto* f = header.LookupField("X-MSMail-Priority")) {
        const std::string v = lowerAscii(fieldText(*f));
        if (v.starts_with("high")) return IMPORTANCE_HIGH;
        if (v.starts_with("low")) return IMPORTANCE_LOW;
    }
    return IMPORTANCE_NORMAL;
}

std::int32_t priorityOf(const CMimeHeader& header, std::int32_t importance) {
    if (const auto* f = header.LookupField("Priority")) {
        const std::string v = lowerAscii(fieldText(*f));
        if (v.starts_with("urgent")) return PRIO_URGENT;
        if (v.starts_with("non-urgent")) return PRIO_NONURGENT;
        if (v.starts_with("normal")) return PRIO_NORMAL;
    }
    return importance == IMPORTANCE_HIGH ? PRIO_URGENT : importance == IMPORTANCE_LOW ? PRIO_NONURGENT : PRIO_NORMAL;
}

std::int32_t sensitivityOf(const CMimeHeader& header) {
    const auto* f = header.LookupField("Sensitivity");
    if (!f) return 0;
    const std::string v = lowerAscii(fieldText(*f));
    if (v.starts_with("personal")) return 1;
    if (v.starts_with("private")) return 2;
    if (v.starts_with("company-confidential")) return 3;
    return 0;
}

}  // namespace

SubjectParts splitSubject(std::u16string_view subject) {
    SubjectParts parts{{}, std::u16string(subject)};
    std::size_t n = 0;
    while (n < subject.size() && n < 4 && subject[n] != u':' && subject[n] != u' ' &&
           !(subject[n] >= u'0' && subject[n] <= u'9'))
        ++n;
    if (n == 0 || n > 3 || n >= subject.size() || subject[n] != u':') return parts;
    std::size_t rest = n + 1;
    while (rest < subject.size() && subject[rest] == u' ') ++rest;
    parts.prefix = std::u16string(subject.substr(0, n)) + u": ";
    parts.normalized = std::u16string(subject.substr(rest));
    return parts;
}

std::u16string transportHeaderText(std::string_view block) {
    if (platform::isValidUtf8(block)) {
        std::u16string text = platform::utf8ToUtf16(block);
        if (block.find('\0') != std::string_view::npos) std::erase(text, u'\0');  // only a zero byte gives U+0000
        text += u"\r\n";
        return text;
    }
    std::u16string out;
    out.reserve(block.size() + 2);
    std::size_t p = 0;
    while (p < block.size()) {
        std::size_t end = block.find('\n', p);
        end = end == std::string_view::npos ? block.size() : end + 1;
        out += mime::DecodeUnlabelled(block.substr(p, end - p));
        p = end;
    }
    out += u"\r\n";
    return out;
}

void importEnvelope(const CMimeHeader& header, std::string_view headerBlock, Message& message,
                    const StopRequest& stop) {
    PropertyBag& props = message.props;
    importSubject(header, props);
    importSenders(header, props);
    importRecipients(header, message, stop);
    importReplyTo(header, props);
    importTimes(header, props);
    importIdentifiers(header, props);
    const std::int32_t importance = importanceOf(header);
    props.setLong(PidTagImportance, importance);
    props.setLong(PidTagPriority, priorityOf(header, importance));
    props.setLong(PidTagSensitivity, sensitivityOf(header));
    props.setString(PidTagTransportMessageHeaders, transportHeaderText(headerBlock));
}

}  // namespace store::import

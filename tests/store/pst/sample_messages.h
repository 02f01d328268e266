#pragma once
// Messages of the model used by the store tests: plain, HTML, non-ASCII, with recipients, with
// attachments of several sizes and with an embedded message.
#include <string>

#include "store/mapi/message.h"
#include "store/mapi/property_tags.h"

namespace store::pst::testing {

struct SampleOptions {
    std::u16string subject = u"Hello";
    std::u16string body = u"Plain body text";
    std::string html;                       // HTML body bytes, UTF-8 code page, when non-empty
    std::vector<std::size_t> attachmentSizes;  // one attachment per size
    bool embedded = false;
};

inline std::string patternBytes(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : out) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

inline mapi::PropertyBag recipient(std::u16string_view name, std::u16string_view address, std::int32_t type) {
    mapi::PropertyBag r;
    r.setLong(mapi::PidTagRecipientType, type);
    r.setString(mapi::PidTagDisplayName, name);
    r.setString(mapi::PidTagAddressType, u"SMTP");
    r.setString(mapi::PidTagEmailAddress, address);
    r.setString(mapi::PidTagSmtpAddress, address);
    return r;
}

inline mapi::Message sampleMessage(const SampleOptions& o) {
    mapi::Message m;
    m.props.setString(mapi::PidTagMessageClass, u"IPM.Note");
    m.props.setString(mapi::PidTagSubject, o.subject);
    m.props.setString(mapi::PidTagNormalizedSubject, o.subject);
    m.props.setString(mapi::PidTagConversationTopic, o.subject);
    m.props.setString(mapi::PidTagSenderName, u"Ann Sender");
    m.props.setString(mapi::PidTagSenderEmailAddress, u"ann@example.com");
    m.props.setString(mapi::PidTagSenderAddressType, u"SMTP");
    m.props.setString(mapi::PidTagSenderSmtpAddress, u"ann@example.com");
    m.props.setString(mapi::PidTagSentRepresentingName, u"Ann Sender");
    m.props.setString(mapi::PidTagSentRepresentingEmailAddress, u"ann@example.com");
    m.props.setString(mapi::PidTagSentRepresentingAddressType, u"SMTP");
    m.props.setString(mapi::PidTagSentRepresentingSmtpAddress, u"ann@example.com");
    m.props.setString(mapi::PidTagDisplayTo, u"Bob Receiver");
    m.props.setString(mapi::PidTagDisplayCc, u"Carl Copy");
    m.props.setTime(mapi::PidTagClientSubmitTime, mapi::FileTime{132000000000000000ULL});
    m.props.setTime(mapi::PidTagMessageDeliveryTime, mapi::FileTime{132000000600000000ULL});
    m.props.setLong(mapi::PidTagMessageFlags, static_cast<std::int32_t>(mapi::MSGFLAG_READ));
    m.props.setString(mapi::PidTagInternetMessageId, u"<" + o.subject.substr(0, 8) + u"@example.com>");
    m.props.setString(mapi::PidTagBody, o.body);
    if (!o.html.empty()) {
        m.props.setBinary(mapi::PidTagHtml, o.html);
        m.props.setLong(mapi::PidTagInternetCodepage, 65001);
    }
    m.props.setString(mapi::PidLidInternetAccountName, u"account");
    m.recipients.push_back(recipient(u"Bob Receiver", u"bob@example.com", mapi::MAPI_TO));
    m.recipients.push_back(recipient(u"Carl Copy", u"carl@example.org", mapi::MAPI_CC));
    for (std::size_t i = 0; i < o.attachmentSizes.size(); ++i) {
        mapi::Attachment a;
        const std::u16string name = u"file" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".bin";
        a.props.setLong(mapi::PidTagAttachMethod, mapi::afByValue);
        a.props.setString(mapi::PidTagAttachFilename, name);
        a.props.setString(mapi::PidTagAttachLongFilename, name);
        a.props.setString(mapi::PidTagAttachMimeTag, u"application/octet-stream");
        a.props.setLong(mapi::PidTagRenderingPosition, -1);
        a.props.setBinary(mapi::PidTagAttachDataBinary, patternBytes(o.attachmentSizes[i], static_cast<unsigned>(i)));
        m.attachments.push_back(std::move(a));
    }
    if (o.embedded) {
        SampleOptions inner;
        inner.subject = u"Inner message";
        inner.body = u"Body of the inner message";
        inner.attachmentSizes = {300};
        mapi::Attachment a;
        a.props.setString(mapi::PidTagDisplayName, u"Inner message");
        a.props.setLong(mapi::PidTagRenderingPosition, -1);
        a.setEmbeddedMessage(sampleMessage(inner));
        m.attachments.push_back(std::move(a));
    }
    return m;
}

}  // namespace store::pst::testing

#include "sample_messages.h"

#include <random>

#include "oracle_tools.h"
#include "store/mapi/property_tags.h"

namespace store_test {

using namespace store::mapi;

PropertyBag recipient(std::int32_t type, const std::u16string& name, const std::u16string& address) {
    PropertyBag r;
    r.setLong(PidTagRecipientType, type);
    r.setString(PidTagDisplayName, name);
    r.setString(PidTagAddressType, u"SMTP");
    r.setString(PidTagEmailAddress, address);
    r.setString(PidTagSmtpAddress, address);
    r.setLong(PidTagObjectType, MAPI_MAILUSER);
    r.setLong(PidTagDisplayType, DT_MAILUSER);
    return r;
}

Attachment fileAttachment(const std::u16string& name, const std::u16string& mimeType, std::string data) {
    Attachment a;
    a.props.setLong(PidTagAttachMethod, afByValue);
    a.props.setString(PidTagAttachLongFilename, name);
    a.props.setString(PidTagAttachFilename, name);
    a.props.setString(PidTagDisplayName, name);
    const auto dot = name.rfind(u'.');
    if (dot != std::u16string::npos) a.props.setString(PidTagAttachExtension, name.substr(dot));
    a.props.setString(PidTagAttachMimeTag, mimeType);
    a.props.setLong(PidTagAttachSize, static_cast<std::int32_t>(data.size()));
    a.props.setLong(PidTagRenderingPosition, -1);
    a.props.setBinary(PidTagAttachDataBinary, std::move(data));
    return a;
}

Message simpleMessage(const std::u16string& subject, const std::u16string& body) {
    Message m;
    m.props.setString(PidTagMessageClass, u"IPM.Note");
    m.props.setString(PidTagSubject, subject);
    m.props.setString(PidTagNormalizedSubject, subject);
    m.props.setString(PidTagSenderName, u"Sender Name");
    m.props.setString(PidTagSenderEmailAddress, u"sender@example.com");
    m.props.setString(PidTagSenderAddressType, u"SMTP");
    m.props.setString(PidTagSenderSmtpAddress, u"sender@example.com");
    m.props.setString(PidTagSentRepresentingName, u"Sender Name");
    m.props.setString(PidTagSentRepresentingEmailAddress, u"sender@example.com");
    m.props.setString(PidTagSentRepresentingAddressType, u"SMTP");
    m.props.setTime(PidTagClientSubmitTime, fileTimeFromUnix(1709296496));  // 2024-03-01T12:34:56Z
    m.props.setTime(PidTagMessageDeliveryTime, fileTimeFromUnix(1709296500));
    m.props.setLong(PidTagMessageFlags, static_cast<std::int32_t>(MSGFLAG_READ));
    m.props.setString(PidTagBody, body);
    return m;
}

std::string patternBytes(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    std::mt19937 rng(seed);
    for (auto& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

std::string sha256Hex(const std::string& bytes) {
    // sha256sum keeps the tests free of a crypto library.
    const auto tmp = std::filesystem::temp_directory_path() / ("kelva_sha_" + std::to_string(std::random_device{}()));
    {
        std::FILE* f = std::fopen(tmp.c_str(), "wb");
        if (!f) return {};
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const CommandResult r = runCommand("sha256sum " + shellQuote(tmp.string()));
    std::filesystem::remove(tmp);
    return r.output.substr(0, 64);
}

}  // namespace store_test

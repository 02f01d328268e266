#include "store/msg/msg_writer.h"

#include <optional>

#include "store/cfb/compound_file_writer.h"
#include "store/mapi/property_tags.h"
#include "store/msg/nameid_streams.h"
#include "store/msg/property_stream.h"

namespace store::msg {

using cfb::EntryId;

namespace {

constexpr char16_t kPropertiesStream[] = u"__properties_version1.0";
constexpr char16_t kNameIdStorage[] = u"__nameid_version1.0";
constexpr char16_t kEmbeddedStorage[] = u"__substg1.0_3701000D";
// Class id of the root storage of a message file.
constexpr mapi::Guid kMessageFileClsid = mapi::Guid::parse("00020D0B-0000-0000-C000-000000000046");

std::u16string numberedName(std::u16string_view prefix, std::size_t index) {
    std::u16string name(prefix);
    appendHex8(name, static_cast<std::uint32_t>(index));
    return name;
}

// Room for the file in memory at once (an estimate from above): every value, and for each property
// its entry, directory entry and sector rounding.
std::size_t expectedFileSize(const mapi::Message& message) {
    std::size_t size = 4096;
    auto add = [&size](const mapi::PropertyBag& props) {
        for (const auto& p : props.properties()) {
            size += p.data.size() + 256;
            for (const auto& value : p.values) size += value.size() + 192;
        }
    };
    add(message.props);
    for (const auto& recipient : message.recipients) add(recipient);
    for (const auto& attachment : message.attachments) {
        add(attachment.props);
        if (attachment.embedded) size += expectedFileSize(*attachment.embedded);
    }
    return size;
}

class MsgFileWriter {
public:
    explicit MsgFileWriter(const StopRequest& stop) { cf_.setStopRequest(stop); }

    bool write(const mapi::Message& message, const std::u16string& path) {
        if (!cf_.open(path)) return fail(cf_.failure());
        return writeOpened(message);
    }

    std::optional<std::string> bytes(const mapi::Message& message) {
        cf_.openInMemory(expectedFileSize(message));
        if (!writeOpened(message)) return std::nullopt;
        return cf_.takeBytes();
    }

    const Failure& failure() const { return failure_; }

private:
    bool writeOpened(const mapi::Message& message) {
        cf_.setClsid(cfb::kRootEntry, kMessageFileClsid.bytes);
        if (!writeMessage(cfb::kRootEntry, message, 0) || !writeNameIds()) return false;
        return cf_.finish() || fail(cf_.failure());
    }

    bool fail(const Failure& failure) {
        if (failure_.message.empty())
            failure_ = failure.message.empty() ? Failure{failure.code, "cannot write the message file"}
                                               : failure;
        return false;
    }

    bool writeProperties(EntryId storage, const mapi::PropertyBag& props, const PropertyStreamHeader& header,
                         const std::string& extraEntries = {}) {
        std::string stream;
        auto sink = [&](std::u16string_view name, std::string_view bytes) { return cf_.addStream(storage, name, bytes); };
        if (!encodeProperties(props, header, names_, sink, stream)) return fail(cf_.failure());
        stream += extraEntries;
        return cf_.addStream(storage, kPropertiesStream, stream) || fail(cf_.failure());
    }

    bool writeMessage(EntryId storage, const mapi::Message& message, int depth) {
        PropertyStreamHeader header;
        header.kind = depth == 0 ? PropertyStreamHeader::Kind::TopMessage : PropertyStreamHeader::Kind::EmbeddedMessage;
        header.recipientCount = static_cast<std::uint32_t>(message.recipients.size());
        header.attachmentCount = static_cast<std::uint32_t>(message.attachments.size());
        std::string extra;
        if (depth == 0 && !message.props.has(mapi::PidTagStoreSupportMask)) {
            extra = fixedEntry(mapi::PidTagStoreSupportMask, mapi::STORE_UNICODE_OK);
        }
        if (!writeProperties(storage, message.props, header, extra)) return false;
        for (std::size_t i = 0; i < message.recipients.size(); ++i) {
            auto sub = cf_.addStorage(storage, numberedName(u"__recip_version1.0_#", i));
            if (!sub) return fail(cf_.failure());
            if (!writeProperties(*sub, message.recipients[i], {})) return false;
            if (!cf_.closeStorage(*sub)) return fail(cf_.failure());
        }
        for (std::size_t i = 0; i < message.attachments.size(); ++i) {
            auto sub = cf_.addStorage(storage, numberedName(u"__attach_version1.0_#", i));
            if (!sub || !writeAttachment(*sub, message.attachments[i], depth)) return fail(cf_.failure());
            if (!cf_.closeStorage(*sub)) return fail(cf_.failure());
        }
        return true;
    }

    bool writeAttachment(EntryId storage, const mapi::Attachment& attachment, int depth) {
        if (!attachment.embedded) return writeProperties(storage, attachment.props, {});
        if (depth + 1 > kMaxEmbeddingDepth)
            return fail(Failure{0, "embedded messages are nested too deeply"});
        if (!writeProperties(storage, attachment.props, {}, objectEntry(mapi::PidTagAttachDataObject))) return false;
        auto sub = cf_.addStorage(storage, kEmbeddedStorage);
        if (!sub) return fail(cf_.failure());
        return writeMessage(*sub, *attachment.embedded, depth + 1);
    }

    bool writeNameIds() {
        auto storage = cf_.addStorage(cfb::kRootEntry, kNameIdStorage);
        if (!storage) return fail(cf_.failure());
        const NameIdStreams streams = encodeNameIds(names_);
        bool ok = cf_.addStream(*storage, u"__substg1.0_00020102", streams.guids) &&
                  cf_.addStream(*storage, u"__substg1.0_00030102", streams.entries) &&
                  cf_.addStream(*storage, u"__substg1.0_00040102", streams.strings);
        for (const auto& [id, bytes] : streams.hashed) {
            ok = ok && cf_.addStream(*storage, valueStreamName(mapi::PropTag(id, mapi::PT_BINARY)), bytes);
        }
        return ok || fail(cf_.failure());
    }

    cfb::CompoundFileWriter cf_;
    mapi::NamedPropertyMap names_;
    Failure failure_;
};

}  // namespace

Result<void> writeMsgFile(const mapi::Message& message, const std::u16string& path, const StopRequest& stop) {
    MsgFileWriter writer(stop);
    if (!writer.write(message, path)) return writer.failure();
    return {};
}

Result<std::string> msgFileBytes(const mapi::Message& message, const StopRequest& stop) {
    MsgFileWriter writer(stop);
    std::optional<std::string> bytes = writer.bytes(message);
    if (!bytes) return writer.failure();
    return std::move(*bytes);
}

}  // namespace store::msg

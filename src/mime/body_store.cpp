#include <cstring>

#include "mime/mime_body.h"

namespace mime {
namespace {

std::unique_ptr<CMimeCodeBase> encoderFor(const CMimeBody& body) {
    const std::optional<std::string> encoding = body.TransferEncodingText();
    auto codec = MakeTransferCodec(encoding ? std::string_view(*encoding) : std::string_view());
    codec->BindInput(body.Content(), body.ContentSize(), true);
    return codec;
}

void put(char* buffer, std::int64_t& written, std::string_view bytes) {
    std::memcpy(buffer + written, bytes.data(), bytes.size());
    written += static_cast<std::int64_t>(bytes.size());
}

}  // namespace

std::int64_t CMimeBody::StoredSize() const {
    std::int64_t total = CMimeHeader::StoredSize() + encoderFor(*this)->EncodedSizeBound();
    if (parts.empty()) return total;
    const auto boundary = static_cast<std::int64_t>(BoundaryText().size());
    for (const auto& part : parts) total += boundary + 6 + part->StoredSize();
    return total + boundary + 8;
}

std::int64_t CMimeBody::WriteTo(char* buffer, std::int64_t size) const {
    const std::int64_t headerBytes = CMimeHeader::WriteTo(buffer, size);
    if (headerBytes == 0) return 0;
    std::int64_t written = headerBytes + encoderFor(*this)->Convert(buffer + headerBytes, size - headerBytes);
    if (parts.empty()) return written;

    const std::string boundary = BoundaryText();
    if (boundary.empty()) return -1;
    const auto boundaryLength = static_cast<std::int64_t>(boundary.size());
    bool first = true;
    for (const auto& part : parts) {
        if (size - written < boundaryLength + 6) break;
        // The delimiter's own CR LF replaces the one just written (the blank line or the content's).
        if (first && written >= 2 && buffer[written - 2] == '\r' && buffer[written - 1] == '\n') written -= 2;
        first = false;
        put(buffer, written, "\r\n--");
        put(buffer, written, boundary);
        put(buffer, written, "\r\n");
        const std::int64_t partBytes = part->WriteTo(buffer + written, size - written);
        if (partBytes < 0) return -1;
        written += partBytes;
    }
    if (size - written >= boundaryLength + 8) {
        put(buffer, written, "\r\n--");
        put(buffer, written, boundary);
        put(buffer, written, "--\r\n");
    }
    return written;
}

}  // namespace mime

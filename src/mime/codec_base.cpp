#include <algorithm>
#include <cstring>

#include "mime/mime_codec.h"

namespace mime {

void CMimeCodeBase::BindInput(const char* bytes, std::int64_t length, bool encoding) {
    input = bytes;
    inputLength = bytes ? std::max<std::int64_t>(length, 0) : 0;
    isEncoding = encoding;
}

std::int64_t CMimeCodeBase::OutputSizeBound() const {
    return isEncoding ? EncodedSizeBound() : DecodedSizeBound();
}

std::int64_t CMimeCodeBase::Convert(char* out, std::int64_t max) {
    return isEncoding ? Encode(out, max) : Decode(out, max);
}

std::int64_t CMimeCodeBase::EncodedSizeBound() const { return inputLength; }
std::int64_t CMimeCodeBase::DecodedSizeBound() const { return inputLength; }

std::int64_t CMimeCodeBase::Encode(char* out, std::int64_t max) {
    const std::int64_t count = std::clamp<std::int64_t>(inputLength, 0, std::max<std::int64_t>(max, 0));
    if (count > 0) std::memcpy(out, input, static_cast<std::size_t>(count));
    return count;
}

std::int64_t CMimeCodeBase::Decode(char* out, std::int64_t max) { return CMimeCodeBase::Encode(out, max); }

}  // namespace mime

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "mime/mime_body.h"

namespace mime {

CMimeBody::~CMimeBody() = default;
CMimeMessage::~CMimeMessage() = default;

void CMimeBody::Reset() {
    RemoveChildParts();
    content.reset();
    contentSize = 0;
    contentCapacity_ = 0;
    CMimeHeader::Reset();
}

bool CMimeBody::allocateContent(std::int64_t bytes) {
    content.reset();
    contentSize = 0;
    contentCapacity_ = 0;
    if (bytes < 0) return false;
    content.reset(new (std::nothrow) char[static_cast<std::size_t>(bytes) + 1]);
    if (!content) return false;
    content[bytes] = '\0';
    contentCapacity_ = bytes;
    return true;
}

std::int64_t CMimeBody::PutContent(const char* data, std::int64_t length) {
    if (length == 0 && data) length = static_cast<std::int64_t>(std::strlen(data));
    if (!data || length < 0) length = 0;
    if (!allocateContent(length)) return -1;
    if (length > 0) std::memcpy(content.get(), data, static_cast<std::size_t>(length));
    contentSize = length;
    return length;
}

bool CMimeBody::ReserveContent(std::int64_t size) {
    if (!allocateContent(size)) return false;
    std::memset(content.get(), 0, static_cast<std::size_t>(size));
    contentSize = size;
    return true;
}

void CMimeBody::SetContentSize(std::int64_t size) {
    contentSize = std::clamp<std::int64_t>(size, 0, contentCapacity_);
}

CMimeBody* CMimeBody::AddChildPart() {
    parts.push_back(MakeBody({}));
    parts.back()->depth_ = depth_ + 1;
    return parts.back().get();
}

void CMimeBody::RemoveChildParts() { parts.clear(); }

int CMimeBody::CollectLeaves(std::vector<CMimeBody*>& leaves) {
    if (MediaTypeIndex() != kMediaMultipart) {
        leaves.push_back(this);
        return 1;
    }
    int count = 0;
    for (const auto& part : parts) count += part->CollectLeaves(leaves);
    return count;
}

int CMimeBody::CollectLeaves(std::vector<const CMimeBody*>& leaves) const {
    if (MediaTypeIndex() != kMediaMultipart) {
        leaves.push_back(this);
        return 1;
    }
    int count = 0;
    for (const auto& part : parts) count += std::as_const(*part).CollectLeaves(leaves);
    return count;
}

}  // namespace mime

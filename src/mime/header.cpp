#include <algorithm>
#include <cstring>
#include <utility>

#include "mime/mime_header.h"
#include "mime/text_util.h"

namespace mime {

void CMimeHeader::Reset() { fields.clear(); }

std::int64_t CMimeHeader::StoredSize() const {
    std::int64_t total = 2;
    for (const CMimeHeaderField& field : fields) total += field.StoredSize();
    return total;
}

std::int64_t CMimeHeader::WriteTo(char* buffer, std::int64_t size) const {
    if (!buffer) return 0;
    std::int64_t written = 0;
    for (const CMimeHeaderField& field : fields) {
        const std::int64_t count = field.WriteTo(buffer + written, size - written);
        if (count == 0) return 0;
        written += count;
    }
    if (size - written < 2) return 0;
    std::memcpy(buffer + written, "\r\n", 2);
    return written + 2;
}

std::int64_t CMimeHeader::Parse(const char* text, std::int64_t length) {
    fields.clear();
    if (!text || length <= 0) return 0;
    fields.reserve(16);  // a message header has about this many fields; grown once less often
    std::int64_t offset = 0;
    while (offset < length && text[offset] != '\0' && text[offset] != '\r') {
        CMimeHeaderField& field = fields.emplace_back();
        const std::int64_t used = field.Parse(text + offset, length - offset);
        if (used == 0) {
            fields.pop_back();
            return 0;
        }
        offset += used;
    }
    if (offset < length && text[offset] == '\r') offset = std::min(offset + 2, length);
    return offset;
}

const CMimeHeaderField* CMimeHeader::LookupField(std::string_view name) const {
    for (const CMimeHeaderField& field : fields)
        if (EqualsNoCase(field.name, name)) return &field;
    return nullptr;
}

CMimeHeaderField* CMimeHeader::LookupField(std::string_view name) {
    return const_cast<CMimeHeaderField*>(std::as_const(*this).LookupField(name));
}

std::vector<const CMimeHeaderField*> CMimeHeader::FieldsNamed(std::string_view name) const {
    std::vector<const CMimeHeaderField*> named;
    for (const CMimeHeaderField& field : fields)
        if (EqualsNoCase(field.name, name)) named.push_back(&field);
    return named;
}

std::optional<std::string> CMimeHeader::FieldText(std::string_view name) const {
    const CMimeHeaderField* field = LookupField(name);
    if (!field) return std::nullopt;
    return field->Value();
}

void CMimeHeader::PutField(const CMimeHeaderField& field) {
    if (CMimeHeaderField* existing = LookupField(field.name))
        *existing = field;
    else
        fields.push_back(field);
}

void CMimeHeader::PutFieldText(std::string_view name, std::string_view value) {
    PutField(CMimeHeaderField(std::string(name), std::string(value)));
}

}  // namespace mime

#include <atomic>
#include <cstdio>
#include <ctime>
#include <random>

#include "mime/media_types.h"
#include "mime/mime_body.h"
#include "mime/text_util.h"

namespace mime {
namespace {

std::string paramOf(const CMimeHeader& header, std::string_view field, std::string_view param) {
    const CMimeHeaderField* found = header.LookupField(field);
    return found ? found->ParamText(param) : std::string();
}

}  // namespace

int CMimeBody::MediaTypeIndex() const {
    const std::optional<std::string> type = ContentTypeText();
    return type ? MediaTypeIndexOf(*type) : kMediaText;
}

std::string CMimeBody::MainTypeText() const {
    const std::optional<std::string> type = ContentTypeText();
    if (!type) return "text";
    return type->substr(0, type->find('/'));
}

std::string CMimeBody::SubTypeText() const {
    const CMimeHeaderField* field = LookupField("Content-Type");
    if (!field) return {};
    const std::string leading = field->LeadingValue();
    const std::size_t slash = leading.find('/');
    return slash == std::string::npos ? std::string() : leading.substr(slash + 1);
}

std::string CMimeBody::BoundaryText() const { return paramOf(*this, "Content-Type", "boundary"); }
std::string CMimeBody::PartName() const { return paramOf(*this, "Content-Type", "name"); }
std::string CMimeBody::DispositionFileName() const {
    return paramOf(*this, "Content-Disposition", "filename");
}
bool CMimeBody::HasAttachmentName() const { return !PartName().empty() || !DispositionFileName().empty(); }

void CMimeBody::PutCharset(std::string_view charset) {
    if (CMimeHeaderField* type = LookupField("Content-Type")) {
        type->PutParam("charset", charset);
        return;
    }
    CMimeHeaderField field("Content-Type", "text/plain");
    field.PutParam("charset", charset);
    fields.push_back(std::move(field));
}

void CMimeBody::PutPartName(std::string_view name) {
    if (CMimeHeaderField* type = LookupField("Content-Type")) {
        type->PutParam("name", name);
        return;
    }
    CMimeHeaderField field("Content-Type", std::string(ContentTypeForFileName(name)));
    field.PutParam("name", name);
    fields.push_back(std::move(field));
}

std::string CMimeBody::NewBoundary() {
    // The counter field runs 1 to 9 and repeats, so boundaries made in the same second differ.
    static std::atomic<unsigned> counter{0};
    const unsigned number = counter.fetch_add(1) % 9 + 1;
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr)) ^
                      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this));
    std::minstd_rand random(seed);
    const auto r1 = static_cast<unsigned>(random() & 0x7FFFFFFF);
    const auto r2 = static_cast<unsigned>(random() & 0x7FFFFFFF);
    char text[64];
    std::snprintf(text, sizeof text, "__=_Part_Boundary_%03u_%06u.%06u", number, r2, r1);
    const std::string boundary = text;

    if (CMimeHeaderField* type = LookupField("Content-Type")) {
        if (!EqualsNoCase(MainTypeText(), "multipart")) type->SetText("multipart/mixed");
        type->PutParam("boundary", boundary);
    } else {
        CMimeHeaderField field("Content-Type", "multipart/mixed");
        field.PutParam("boundary", boundary);
        fields.push_back(std::move(field));
    }
    return boundary;
}

}  // namespace mime

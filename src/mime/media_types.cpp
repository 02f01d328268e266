#include "mime/media_types.h"

#include <array>

#include "mime/mime_body.h"
#include "mime/mime_registry.h"
#include "mime/text_util.h"

namespace mime {
namespace {

constexpr std::array<std::string_view, 7> kMediaTypeNames = {"text",        "image",     "audio",  "video",
                                                             "application", "multipart", "message"};

struct ExtensionRow {
    std::string_view contentType;
    std::string_view extension;
};

// Searched in order; the extension is compared without regard to case.
constexpr ExtensionRow kExtensions[] = {
    {"application/xml", "xml"},
    {"application/msword", "doc"},
    {"application/rtf", "rtf"},
    {"application/vnd.ms-excel", "xls"},
    {"application/vnd.ms-powerpoint", "ppt"},
    {"application/pdf", "pdf"},
    {"application/zip", "zip"},
    {"image/jpeg", "jpeg"},
    {"image/jpeg", "jpg"},
    {"image/gif", "gif"},
    {"image/tiff", "tif"},
    {"image/tiff", "tiff"},
    {"audio/basic", "wav"},
    {"audio/basic", "mp3"},
    {"video/mpeg", "mpg"},
    {"video/mpeg", "mpeg"},
};

CMimeRegistry<BodyFactory>& registry() {
    static CMimeRegistry<BodyFactory> types{};
    return types;
}

[[maybe_unused]] const bool kRegistered = (registry(), true);

}  // namespace

std::string_view MediaTypeName(int index) {
    return index >= 0 && index < static_cast<int>(kMediaTypeNames.size()) ? kMediaTypeNames[index] : "";
}

int MediaTypeIndexOf(std::string_view contentType) {
    for (std::size_t i = 0; i < kMediaTypeNames.size(); ++i)
        if (StartsWithNoCase(contentType, kMediaTypeNames[i])) return static_cast<int>(i);
    return kMediaOther;
}

std::string_view ContentTypeForFileName(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos) {
        const std::string_view extension = fileName.substr(dot + 1);
        for (const ExtensionRow& row : kExtensions)
            if (EqualsNoCase(row.extension, extension)) return row.contentType;
    }
    return "application/octet-stream";
}

bool MediaTypeRegistryEmpty() { return registry().Empty(); }

std::unique_ptr<CMimeBody> MakeBody(std::string_view mainType) {
    if (mainType.empty()) mainType = "text";
    if (BodyFactory factory = registry().Find(mainType)) return factory();
    return std::make_unique<CMimeBody>();
}

void AddMediaType(std::string_view mainType, BodyFactory factory) { registry().Add(mainType, factory); }

}  // namespace mime

#pragma once
// Internal: the media type names, the extension table used by PutPartName, and the registry state.
#include <string_view>

namespace mime {

// "text", "image", ... "message" for indices 0 to 6.
std::string_view MediaTypeName(int index);
// Index of the first media type name the value starts with (without regard to case), else 7.
int MediaTypeIndexOf(std::string_view contentType);
// "type/subtype" for a file name's extension (after its last '.'); application/octet-stream when
// the extension is unknown or there is none.
std::string_view ContentTypeForFileName(std::string_view fileName);
// True while no body class is registered for any main type.
bool MediaTypeRegistryEmpty();

}  // namespace mime

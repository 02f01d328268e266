#pragma once
// The viewer's rendering of the file it is asked to show: a message saved as a web archive (.mht)
// becomes a self-contained, inert HTML document (the HTML body, else the plain text; charsets decoded
// to UTF-8; cid: pictures inlined as data: URLs; no scripts, no remote loads); an HTML page (the blank
// page) is shown sanitised.
#include <string>
#include <string_view>

namespace preview {

// The UTF-8 HTML document for the file; a page saying the file cannot be read when it cannot.
std::string renderFileForViewer(const std::u16string& path);
// The same for message bytes in memory.
std::string renderMessage(std::string bytes);

}  // namespace preview

// Sanitises arbitrary bytes as mail HTML: the document read back by the parser holds only what the
// allowlist permits, and sanitising it again gives the same document (it re-parses to the same tree).
// Where the simple tree builder takes the bytes, its tree is gumbo's.
#include <string>

#include "fuzz_check.h"
#include "html_tree_check.h"
#include "mime/html_sanitizer.h"
#include "mime/html_simple_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ExactBuffer input = fuzz::copyInput(data, size);
    mime::HtmlSanitizeOptions options;
    options.resolveContentId = [](std::string_view id) -> std::optional<std::string> {
        if (id.empty()) return std::nullopt;
        return id.front() == 'a' ? "data:image/png;base64,AA==" : "data:text/html,<script>x()</script>";
    };
    const std::string once = mime::sanitizeHtmlDocument(input.view(input.size), options);
    const auto violations = html_check::violations(once);
    if (!violations.empty()) std::fprintf(stderr, "%s\n%s\n", violations.front().c_str(), once.c_str());
    fuzz::check(violations.empty(), "only allowed elements, attributes and URLs");
    const std::string twice = mime::sanitizeHtmlDocument(once, options);
    if (twice != once) std::fprintf(stderr, "once:\n%s\ntwice:\n%s\n", once.c_str(), twice.c_str());
    fuzz::check(twice == once, "sanitising the output changes nothing");
    const std::string document = "<!DOCTYPE html>" + std::string(input.view(input.size));
    if (const auto simple = mime::SimpleHtmlTree::parse(document)) {
        const std::string ours = html_check::treeText(*simple->output().root);
        const std::string gumbos = html_check::gumboTreeText(document);
        if (ours != gumbos) std::fprintf(stderr, "simple:\n%s\ngumbo:\n%s\n", ours.c_str(), gumbos.c_str());
        fuzz::check(ours == gumbos, "the simple tree is gumbo's");
    }
    return 0;
}

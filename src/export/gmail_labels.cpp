#include "export/gmail_labels.h"

#include <algorithm>
#include <array>
#include <utility>

#include "export/mail_headers.h"
#include "mime/field_text.h"
#include "mime/text_util.h"
#include "platform/codepage.h"

namespace exporter {
namespace {

// Encoded words in a label are decoded like any header text, each in its own charset.
std::string decodedWords(std::string_view text) {
    if (text.find("=?") == std::string_view::npos) return std::string(text);
    return platform::utf16ToUtf8(mime::DecodeFieldText(text));
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Splits at commas outside double quotes; quotes are removed, a backslash escapes the next character.
std::vector<std::string> splitLabels(std::string_view value) {
    std::vector<std::string> labels;
    std::string current;
    bool quoted = false;
    auto finish = [&] {
        std::string label(trimmed(current));
        if (!label.empty()) labels.push_back(decodedWords(label));
        current.clear();
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && quoted && i + 1 < value.size()) {
            current += value[++i];
        } else if (c == ',' && !quoted) {
            finish();
        } else {
            current += c;
        }
    }
    finish();
    return labels;
}

// A folder name safe in a PST and on disk: no control characters, no separators or characters file
// systems refuse, no leading dots or trailing blanks and dots (so never "." or "..").
std::u16string safeFolderName(std::string_view part) {
    std::u16string name = platform::utf8ToUtf16(trimmed(part));
    for (char16_t& c : name)
        if (c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' ||
            c == u'"' || c == u'<' || c == u'>' || c == u'|')
            c = u'_';
    while (!name.empty() && (name.back() == u' ' || name.back() == u'.')) name.pop_back();
    while (!name.empty() && name.front() == u'.') name.erase(0, 1);
    return name;
}

constexpr std::array<std::pair<std::string_view, std::u16string_view>, 5> kSystemFolders{{
    {"Inbox", u"Inbox"},
    {"Sent", u"Sent Items"},
    {"Drafts", u"Drafts"},
    {"Trash", u"Deleted Items"},
    {"Spam", u"Junk Email"},
}};

}  // namespace

std::optional<std::vector<std::string>> gmailLabels(std::string_view message) {
    const std::vector<std::string> values = headerValues(message, "X-Gmail-Labels");
    if (values.empty()) return std::nullopt;
    std::vector<std::string> labels;
    for (const std::string& value : values)
        for (std::string& label : splitLabels(value)) labels.push_back(std::move(label));
    return labels;
}

bool isStateLabel(std::string_view label) {
    for (std::string_view state : {"Opened", "Unread", "Important", "Starred"})
        if (mime::EqualsNoCase(label, state)) return true;
    return label.size() > 9 && mime::EqualsNoCase(label.substr(0, 9), "Category ");
}

FolderPath labelFolder(std::string_view label) {
    if (isStateLabel(label)) return {};
    for (const auto& [gmail, outlook] : kSystemFolders)
        if (mime::EqualsNoCase(label, gmail)) return {std::u16string(outlook)};
    FolderPath path;
    std::size_t start = 0;
    while (start <= label.size()) {
        std::size_t end = label.find('/', start);
        if (end == std::string_view::npos) end = label.size();
        std::u16string name = safeFolderName(label.substr(start, end - start));
        if (!name.empty()) path.push_back(std::move(name));
        start = end + 1;
    }
    return path;
}

std::vector<FolderPath> labelFolderPaths(std::string_view message, LabelFolders mode) {
    std::vector<FolderPath> paths;
    if (mode != LabelFolders::Off) {
        for (const std::string& label : gmailLabels(message).value_or(std::vector<std::string>{})) {
            FolderPath path = labelFolder(label);
            if (path.empty() || std::find(paths.begin(), paths.end(), path) != paths.end()) continue;
            paths.push_back(std::move(path));
            if (mode == LabelFolders::First) break;
        }
    }
    if (paths.empty()) paths.emplace_back();
    return paths;
}

}  // namespace exporter

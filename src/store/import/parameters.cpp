#include "store/import/parameters.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "mime/charset_text.h"
#include "mime/field_text.h"

namespace store::import {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// One raw "name=value" piece: the value unquoted, and whether it was quoted.
struct Piece {
    std::string name;
    std::string value;
    bool quoted = false;
};

// Reads the pieces after the leading value; a quoted value runs to its closing quote even across ';'.
std::vector<Piece> splitPieces(std::string_view text, std::size_t p) {
    std::vector<Piece> pieces;
    pieces.reserve(2);  // most values have one or two parameters
    while (p < text.size()) {
        while (p < text.size() && (isBlank(text[p]) || text[p] == ';')) ++p;
        if (p >= text.size()) break;
        const std::size_t nameStart = p;
        while (p < text.size() && text[p] != '=' && text[p] != ';') ++p;
        Piece piece;
        piece.name = lower(trim(text.substr(nameStart, p - nameStart)));
        if (p >= text.size() || text[p] == ';') {
            if (!piece.name.empty()) pieces.push_back(std::move(piece));
            continue;
        }
        ++p;  // '='
        while (p < text.size() && isBlank(text[p])) ++p;
        if (p < text.size() && text[p] == '"') {
            piece.quoted = true;
            ++p;
            while (p < text.size() && text[p] != '"') {
                if (text[p] == '\\' && p + 1 < text.size()) ++p;
                piece.value.push_back(text[p]);
                ++p;
            }
            if (p < text.size()) ++p;  // closing quote
            while (p < text.size() && text[p] != ';') ++p;
        } else {
            const std::size_t start = p;
            while (p < text.size() && text[p] != ';') ++p;
            piece.value.assign(trim(text.substr(start, p - start)));
        }
        if (!piece.name.empty()) pieces.push_back(std::move(piece));
    }
    return pieces;
}

struct Section {
    int index;
    bool extended;
    std::string value;
};

// Sections grouped by parameter name in the order of first appearance. A value has few parameters,
// so the groups are searched in order; past a few dozen an index takes over, so that a value made of
// very many parameters costs no quadratic search.
class SectionGroups {
public:
    std::vector<Section>& of(std::string name) {
        if (groups_.size() >= kSearchedInOrder && index_.empty()) {
            for (std::size_t i = 0; i < groups_.size(); ++i) index_.emplace(groups_[i].first, i);
        }
        if (index_.empty()) {
            for (auto& group : groups_) {
                if (group.first == name) return group.second;
            }
        } else if (const auto it = index_.find(name); it != index_.end()) {
            return groups_[it->second].second;
        }
        if (!index_.empty()) index_.emplace(name, groups_.size());
        groups_.emplace_back(std::move(name), std::vector<Section>{});
        return groups_.back().second;
    }
    std::vector<std::pair<std::string, std::vector<Section>>>& inOrder() { return groups_; }

private:
    static constexpr std::size_t kSearchedInOrder = 32;
    std::vector<std::pair<std::string, std::vector<Section>>> groups_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace

const Parameter* ParameterList::find(std::string_view name) const {
    const std::string key = lower(name);
    for (const Parameter& p : parameters) {
        if (p.name == key) return &p;
    }
    return nullptr;
}

ParameterList parseParameters(std::string_view value) {
    ParameterList list;
    // The leading value ends at the first ';' outside quotes.
    std::size_t p = 0;
    bool quoted = false;
    while (p < value.size() && (quoted || value[p] != ';')) {
        if (value[p] == '"') quoted = !quoted;
        ++p;
    }
    list.leading = std::string(trim(value.substr(0, p)));

    // Group RFC 2231 sections by name, keeping the order of first appearance.
    SectionGroups groups;
    for (Piece& piece : splitPieces(value, p)) {
        std::string name = std::move(piece.name);
        int index = -1;
        bool extended = false;
        if (!name.empty() && name.back() == '*') {
            extended = true;
            name.pop_back();
        }
        const std::size_t star = name.rfind('*');
        if (star != std::string::npos && star + 1 < name.size() &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(star + 1), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            index = std::stoi(name.substr(star + 1, 6));
            name.resize(star);
        }
        groups.of(std::move(name)).push_back({index, extended, std::move(piece.value)});
    }

    for (auto& [name, parts] : groups.inOrder()) {
        Parameter param;
        param.name = std::move(name);  // the groups are not read again
        // A plain "name=" wins over sections only when there are no sections at all.
        const bool numbered = std::any_of(parts.begin(), parts.end(), [](const Section& s) { return s.index >= 0; });
        if (numbered) {
            std::stable_sort(parts.begin(), parts.end(), [](const Section& a, const Section& b) { return a.index < b.index; });
            std::erase_if(parts, [](const Section& s) { return s.index < 0; });
        } else {
            // "name*=" (extended) is preferred over a plain "name=" given as well.
            auto chosen = std::find_if(parts.begin(), parts.end(), [](const Section& s) { return s.extended; });
            if (chosen == parts.end()) chosen = parts.begin();
            if (chosen != parts.begin()) *parts.begin() = std::move(*chosen);
            parts.resize(1);
        }
        if (parts.size() == 1 && !parts.front().extended) {
            param.value = std::move(parts.front().value);  // one plain value, as it is
            list.parameters.push_back(std::move(param));
            continue;
        }
        bool first = true;
        for (const Section& s : parts) {
            std::string_view text = s.value;
            if (s.extended) {
                if (first) {
                    // charset'language'value
                    const std::size_t q1 = text.find('\'');
                    const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('\'', q1 + 1);
                    if (q2 != std::string_view::npos) {
                        param.charset.assign(text.substr(0, q1));
                        text.remove_prefix(q2 + 1);
                    }
                    param.extended = true;
                }
                param.value += percentDecoded(text);
            } else {
                param.value += text;
            }
            first = false;
        }
        list.parameters.push_back(std::move(param));
    }
    return list;
}

std::optional<std::u16string> parameterText(const ParameterList& list, std::string_view name,
                                            std::string_view fallbackCharset) {
    const Parameter* p = list.find(name);
    if (!p) return std::nullopt;
    if (p->extended && !p->charset.empty()) return mime::DecodeText(p->value, p->charset);
    if (p->value.find("=?") != std::string::npos) return mime::DecodeFieldText(p->value);
    if (!fallbackCharset.empty()) return mime::DecodeText(p->value, fallbackCharset);
    return mime::DecodeUnlabelled(p->value);
}

}  // namespace store::import

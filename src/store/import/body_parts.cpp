#include "store/import/body_parts.h"

#include <map>
#include <utility>

#include "mime/charset_text.h"
#include "mime/field_text.h"
#include "store/import/message_text.h"
#include "store/mapi/codepages.h"

namespace store::import {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

std::u16string identifier(const mime::CMimeBody& body, std::string_view name) {
    const mime::CMimeHeaderField* field = body.LookupField(name);
    if (!field) return {};
    const mime::CMimeHeaderField::Decoded decoded = field->DecodedValue();
    std::string value = trimmed(mime::Unfold(decoded.bytes));
    if (value.size() >= 2 && value.front() == '<' && value.back() == '>') value = trimmed(value.substr(1, value.size() - 2));
    return decoded.charset.empty() ? mime::DecodeUnlabelled(value) : mime::DecodeText(value, decoded.charset);
}

class PartWalker {
public:
    explicit PartWalker(MessageParts& parts) : parts_(parts) {}

    // The first part of the subtype that can be a body, or null.
    mime::CMimeBody* findBody(mime::CMimeBody& part, const PartInfo& info, std::string_view subtype) {
        if (info.mainType == "text") return info.subType == subtype && !readsAsAttachment(info) ? &part : nullptr;
        if (info.disposition == "attachment" || !info.isMultipart(part)) return nullptr;
        const bool digest = info.subType == "digest";
        if (info.subType == "related") {
            mime::CMimeBody* root = rootOfRelated(part, info);
            return findBody(*root, described(*root, digest), subtype);
        }
        for (const auto& child : part.Parts()) {
            if (mime::CMimeBody* found = findBody(*child, described(*child, digest), subtype)) return found;
        }
        return nullptr;
    }

    void collect(mime::CMimeBody& part, PartInfo info, bool inAlternative, bool inRelated) {
        if (info.isMessage()) {
            parts_.attachments.push_back({&part, std::move(info), inRelated});
            return;
        }
        if (info.isMultipart(part)) {
            const bool alternative = inAlternative || info.subType == "alternative";
            const bool related = info.subType == "related";
            mime::CMimeBody* root = related ? rootOfRelated(part, info) : nullptr;
            const bool digest = info.subType == "digest";
            for (const auto& child : part.Parts()) {
                collect(*child, described(*child, digest), alternative, inRelated || (related && child.get() != root));
            }
            return;
        }
        if (&part == parts_.plain || &part == parts_.html) return;
        // Another rendering of the body (text/enriched, a second plain text) is not an attachment.
        if (inAlternative && info.mainType == "text" && !readsAsAttachment(info)) return;
        parts_.attachments.push_back({&part, std::move(info), inRelated});
    }

    // describePart of the part, worked out once: the walks above look at each part several times.
    const PartInfo& described(const mime::CMimeBody& part, bool digestMember = false) {
        auto [it, added] = described_.try_emplace({&part, digestMember});
        if (added) it->second = describePart(part, digestMember);
        return it->second;
    }

private:
    // The part the start parameter names by its Content-ID, else the first part.
    static mime::CMimeBody* rootOfRelated(mime::CMimeBody& part, const PartInfo& info) {
        mime::CMimeBody* first = part.Parts().front().get();
        const auto start = parameterText(info.contentType, "start", info.typeCharset);
        if (!start) return first;
        std::u16string wanted = *start;
        while (!wanted.empty() && (wanted.front() == u'<' || wanted.front() == u' ')) wanted.erase(0, 1);
        while (!wanted.empty() && (wanted.back() == u'>' || wanted.back() == u' ')) wanted.pop_back();
        for (const auto& child : part.Parts()) {
            if (identifier(*child, "Content-ID") == wanted) return child.get();
        }
        return first;
    }

    MessageParts& parts_;
    std::map<std::pair<const mime::CMimeBody*, bool>, PartInfo> described_;
};

// A boundary that none of the lines of the text begins with.
std::string unusedBoundary(std::string_view text) {
    std::string boundary = "=_kelva_boundary_";
    for (int n = 0; text.find("--" + boundary) != std::string_view::npos; ++n) boundary += std::to_string(n % 10);
    return boundary;
}

// An empty boundary makes lines of just "--" delimiters (and "----" the closing one); they are given
// a boundary the MIME library can use.
std::string withEmptyBoundaryReplaced(std::string_view content, const std::string& boundary) {
    std::string out;
    out.reserve(content.size() + 64);
    std::size_t p = 0;
    while (p < content.size()) {
        std::size_t end = content.find("\r\n", p);
        end = end == std::string_view::npos ? content.size() : end;
        std::string_view line = content.substr(p, end - p);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line == "--") {
            out += "--" + boundary;
        } else if (line == "----") {
            out += "--" + boundary + "--";
        } else {
            out.append(content.substr(p, end - p));
        }
        if (end < content.size()) out += "\r\n";
        p = end + 2;
    }
    return out;
}

// Whether the body's Content-Type can hold a boundary parameter: the name, or an encoded word that
// may hide it, stands in the value. Spares reading the parameters of every leaf part.
bool mayNameBoundary(const mime::CMimeBody& body) {
    const mime::CMimeHeaderField* type = body.LookupField("Content-Type");
    if (!type) return false;
    const std::string& raw = type->RawValue();
    return raw.find("=?") != std::string::npos || lower(raw).find("boundary") != std::string::npos;
}

void repairMultipart(mime::CMimeBody& body) {
    if (!body.Parts().empty() || body.ContentSize() == 0 || !mayNameBoundary(body)) return;
    const PartInfo info = describePart(body);
    if (info.mainType != "multipart" || !body.Parts().empty() || body.ContentSize() == 0) return;
    const Parameter* boundary = info.contentType.find("boundary");
    if (!boundary) return;
    std::string content(body.ContentView());
    std::string usable = boundary->value;
    if (usable.empty()) {
        usable = unusedBoundary(content);
        content = withEmptyBoundaryReplaced(content, usable);
    } else if (usable == body.BoundaryText() || content.find("--" + usable) == std::string::npos) {
        return;  // the library read the boundary and found no parts: nothing to repair
    }
    mime::CMimeHeaderField* type = body.LookupField("Content-Type");
    type->PutParam("boundary", usable);
    std::string text(static_cast<std::size_t>(std::max<std::int64_t>(body.CMimeHeader::StoredSize(), 0)), '\0');
    const std::int64_t headerBytes = body.CMimeHeader::WriteTo(text.data(), static_cast<std::int64_t>(text.size()));
    if (headerBytes <= 0) return;
    text.resize(static_cast<std::size_t>(headerBytes));
    text += content;
    body.Parse(text.data(), static_cast<std::int64_t>(text.size()));
}

}  // namespace

void repairMultiparts(mime::CMimeBody& root) {
    repairMultipart(root);
    for (const auto& child : root.Parts()) repairMultiparts(*child);
}

std::string PartInfo::charset() const {
    const Parameter* p = contentType.find("charset");
    return p ? p->value : std::string();
}

PartInfo describePart(const mime::CMimeBody& body, bool digestMember) {
    PartInfo info;
    std::string type;
    if (const mime::CMimeHeaderField* field = body.LookupField("Content-Type")) {
        const mime::CMimeHeaderField::Decoded decoded = field->DecodedValue();
        info.contentType = parseParameters(mime::Unfold(decoded.bytes));
        info.typeCharset = decoded.charset;
        type = lower(info.contentType.leading);
    }
    const std::size_t slash = type.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == type.size()) {
        info.mainType = digestMember ? "message" : "text";
        info.subType = digestMember ? "rfc822" : "plain";
    } else {
        info.mainType = trimmed(type.substr(0, slash));
        info.subType = trimmed(type.substr(slash + 1));
    }
    if (const mime::CMimeHeaderField* field = body.LookupField("Content-Disposition")) {
        const mime::CMimeHeaderField::Decoded decoded = field->DecodedValue();
        info.dispositionParams = parseParameters(mime::Unfold(decoded.bytes));
        info.dispositionCharset = decoded.charset;
        info.disposition = lower(info.dispositionParams.leading);
    }
    auto name = parameterText(info.dispositionParams, "filename", info.dispositionCharset);
    if (!name || mime::CollapseBlanks(*name).empty()) name = parameterText(info.contentType, "name", info.typeCharset);
    if (name) {
        std::u16string collapsed = mime::CollapseBlanks(*name);
        if (!collapsed.empty()) info.fileName = std::move(collapsed);
    }
    info.contentId = identifier(body, "Content-ID");
    info.contentLocation = identifier(body, "Content-Location");
    return info;
}

bool readsAsAttachment(const PartInfo& info) {
    if (info.disposition == "attachment" || info.fileName) return true;
    return info.disposition == "inline" && !info.contentId.empty();
}

std::optional<std::int32_t> codepageOf(std::string_view charset) {
    const std::string name = mime::CanonicalCharset(charset);
    if (name.empty()) return std::nullopt;
    return mapi::codepageOfCharset(name);
}

MessageParts classifyParts(mime::CMimeBody& root) {
    MessageParts parts;
    PartWalker walker(parts);
    const PartInfo& rootInfo = walker.described(root);
    parts.plain = walker.findBody(root, rootInfo, "plain");
    parts.html = walker.findBody(root, rootInfo, "html");
    if (parts.plain) parts.plainInfo = walker.described(*parts.plain);
    if (parts.html) parts.htmlInfo = walker.described(*parts.html);
    walker.collect(root, rootInfo, false, false);
    return parts;
}

}  // namespace store::import

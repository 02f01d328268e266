#include "mime/message_render.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mime/text_util.h"
#include "platform/codepage.h"
#include "platform/file_output.h"
#include "platform/paths.h"

namespace mime {

// True when the file name, resolved inside the folder, stays inside it (links followed).
bool StaysInside(const std::filesystem::path& folder, const std::filesystem::path& name) {
    if (name.empty() || name.is_absolute()) return false;
    for (const auto& part : name)
        if (part == "..") return false;
    std::error_code ec;
    auto realFolder = std::filesystem::weakly_canonical(folder, ec);
    if (ec) return false;
    auto realFile = std::filesystem::weakly_canonical(folder / name, ec);
    if (ec) return false;
    auto [folderEnd, fileIt] = std::mismatch(realFolder.begin(), realFolder.end(), realFile.begin(), realFile.end());
    return folderEnd == realFolder.end() && fileIt != realFile.end();
}

// The name of a marker as a path inside the attachments folder: leading '-' removed, '\' taken as the
// separator (the markers are written with either).
std::u16string MarkerPath(const std::u16string& rawName) {
    std::u16string name = rawName;
    name.erase(0, std::min(name.find_first_not_of(u'-'), name.size()));
    std::replace(name.begin(), name.end(), u'\\', platform::kSeparator);
    return name;
}

namespace {

constexpr std::string_view kContentTypeLine = "\r\nContent-Type:";

std::string_view upToZero(std::string_view text) {
    std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

bool startsWithTextType(std::string_view rest) {
    for (std::string_view type : {" text/html", "text/html", " text/plain", "text/plain"})
        if (rest.substr(0, type.size()) == type) return true;
    return false;
}

// Position of the first CR LF "Content-Type:" or npos when there is none or any of them says text.
std::size_t rewritableContentType(std::string_view bytes) {
    std::size_t first = std::string_view::npos;
    for (std::size_t at = bytes.find(kContentTypeLine); at != std::string_view::npos;
         at = bytes.find(kContentTypeLine, at + 1)) {
        if (first == std::string_view::npos) first = at;
        if (startsWithTextType(bytes.substr(at + kContentTypeLine.size()))) return std::string_view::npos;
    }
    return first;
}

void replaceContentTypeValue(std::string& bytes, std::size_t lineBreak) {
    std::size_t lineStart = lineBreak + 2;
    std::size_t valueEnd = bytes.find('\r', lineStart);
    if (valueEnd == std::string::npos) valueEnd = bytes.size();
    std::string forced = platform::utf16ToAnsi(platform::utf8ToUtf16(kForcedContentType));
    bytes.replace(lineStart, valueEnd - lineStart, forced);
}


void copyField(const CMimeMessage& source, std::string_view name, std::string_view asName, CMimeMessage& result) {
    if (const std::optional<std::string> value = source.FieldText(name)) result.PutFieldText(asName, *value);
}


// Adds a part for the file the marker names; false when its content could not be attached whole (the
// file is missing, unreadable, leads outside the folder, or is too large and is attached by name only).
bool addAttachmentPart(CMimeMessage& result, const std::u16string& folder, const std::u16string& rawName) {
    const std::u16string name = MarkerPath(rawName);
    const std::u16string path = platform::withTrailingSeparator(folder) + name;
    std::filesystem::path nativeFolder(platform::nativePath(folder));
    if (!StaysInside(nativeFolder, std::filesystem::path(platform::nativePath(name)))) return false;

    std::error_code ec;
    std::filesystem::path nativeFile(platform::nativePath(path));
    if (!std::filesystem::is_regular_file(nativeFile, ec)) return false;
    auto size = static_cast<std::int64_t>(std::filesystem::file_size(nativeFile, ec));
    if (ec) return false;
    std::string bytes;
    // Empty files and files at or above the limit are attached by name only, without being read.
    if (size > 0 && size < kRebuildAttachmentLimit && !platform::readWholeFile(path, bytes)) return false;
    CMimeBody* part = result.AddChildPart();
    if (!part) return false;
    part->PutFieldText("Content-Transfer-Encoding", "base64");
    part->PutFieldText("Content-Type", "application/octet-stream");
    if (!bytes.empty()) {
        if (!part->ReserveContent(static_cast<std::int64_t>(bytes.size()))) return false;
        std::memcpy(part->Content(), bytes.data(), bytes.size());
    }
    part->PutPartName("=?utf-8?B?" + Base64Encode(platform::utf16ToUtf8(platform::fileNameOf(path))) + "?=");
    return size < kRebuildAttachmentLimit;
}

void fillTextPart(CMimeBody& part, const TextBodies& text) {
    if (!text.html.empty()) {
        part.PutFieldText("Content-Type", "text/html");
        part.PutFieldText("Content-Transfer-Encoding", "quoted-printable");
        part.PutCharset("UTF-8");
        std::string html = platform::utf16ToUtf8(text.html);
        part.PutContent(html.data(), static_cast<std::int64_t>(html.size()));
    } else if (!text.plain.empty()) {
        part.PutFieldText("Content-Type", "text/plain");
        part.PutCharset("UTF-8");
        part.PutFieldText("Content-Transfer-Encoding", "8bit");
        std::string plain = platform::utf16ToUtf8(text.plain);
        part.PutContent(plain.data(), static_cast<std::int64_t>(plain.size()));
    }
}

}  // namespace

std::u16string ToDisplayText(std::string_view text) {
    text = upToZero(text);
    std::size_t unitsWithTerminator = platform::utf16LengthOfUtf8(text) + 1;
    if (text.size() < unitsWithTerminator) return platform::ansiToUtf16(text);
    return platform::utf8ToUtf16(text);
}

bool ConvertLfToCrLf(std::string& bytes) {
    if (upToZero(bytes).find("\r\n") != std::string_view::npos) return false;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 32 + 16);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) out.push_back('\r');
        out.push_back(bytes[i]);
    }
    bool changed = out.size() != bytes.size();
    bytes.swap(out);
    return changed;
}

bool ForceHtmlContentType(std::string& bytes) {
    if (bytes.size() < 15) return false;
    std::size_t first = rewritableContentType(bytes);
    if (first == std::string::npos) return false;
    replaceContentTypeValue(bytes, first);
    return true;
}

bool ForceHtmlContentTypeForExport(std::string& bytes) {
    if (bytes.size() < 15) return false;
    std::size_t first = rewritableContentType(bytes);
    if (first == std::string::npos) return false;
    // Read the top-level header to see what the message declares.
    std::size_t start = bytes.compare(0, 2, "\r\n") == 0 ? 2 : 0;
    CMimeHeader header;
    header.Parse(bytes.data() + start, static_cast<std::int64_t>(bytes.size() - start));
    std::size_t valueStart = first + kContentTypeLine.size();
    std::string_view value = std::string_view(bytes).substr(valueStart, 40);
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    if (StartsWithNoCase(value, "multipart/") || StartsWithNoCase(value, "message/")) return false;
    if (const std::optional<std::string> encoding = header.TransferEncodingText()) {
        std::string_view text(*encoding);
        text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
        if (StartsWithNoCase(text, "base64")) return false;
    }
    replaceContentTypeValue(bytes, first);
    return true;
}

std::u16string ListAttachmentNames(const std::u16string& messagePath) {
    std::string bytes;
    if (!platform::readWholeFile(messagePath, bytes)) return {};
    return ListAttachmentNamesOf(std::move(bytes));
}

bool IsListedAttachment(const CMimeBody& leaf) {
    if (!leaf.HasAttachmentName()) return false;
    if (leaf.MediaTypeIndex() != kMediaText) return true;
    // A text part the sender marked "Content-Disposition: attachment": the exports carry it as a file.
    const CMimeHeaderField* disposition = leaf.LookupField("Content-Disposition");
    return disposition && EqualsNoCase(disposition->LeadingValue(), "attachment");
}

std::string ListedAttachmentName(const CMimeBody& leaf) {
    std::string name = leaf.PartName();
    return name.empty() ? leaf.DispositionFileName() : name;  // named only by Content-Disposition
}

std::u16string ListAttachmentNamesOf(std::string bytes) {
    ConvertLfToCrLf(bytes);
    CMimeMessage message;
    message.Parse(bytes.data(), static_cast<std::int64_t>(upToZero(bytes).size()));
    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::u16string list;
    for (const CMimeBody* leaf : leaves) {
        if (!IsListedAttachment(*leaf)) continue;
        list += ToDisplayText(ListedAttachmentName(*leaf));
        list += u',';
    }
    while (!list.empty() && list.back() == u',') list.pop_back();
    return list;
}

TextBodies SelectTextBodies(const CMimeBody& message) {
    TextBodies bodies;
    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    for (const CMimeBody* leaf : leaves) {
        const CMimeHeaderField* contentType = nullptr;
        for (const CMimeHeaderField& field : leaf->Fields())
            if (EqualsNoCase(field.name, "content-type")) contentType = &field;
        if (!contentType || leaf->MediaTypeIndex() != kMediaText) continue;
        std::string type = contentType->LeadingValue();
        if (type == "text/html")
            bodies.html = ToDisplayText(leaf->ContentView());
        else if (type == "text/plain")
            bodies.plain = ToDisplayText(leaf->ContentView());
    }
    return bodies;
}

std::string Base64Encode(std::string_view bytes) {
    CMimeCodeBase64 codec(false);
    codec.BindInput(bytes, true);
    std::string out(static_cast<std::size_t>(codec.OutputSizeBound()), '\0');
    out.resize(static_cast<std::size_t>(codec.Convert(out.data(), static_cast<std::int64_t>(out.size()))));
    return out;
}

RebuiltImMessage RebuildImMessageBytes(const std::vector<std::u16string>& attachmentNames,
                                       const std::u16string& attachmentsFolder, std::string_view sourceBytes) {
    std::string bytes(sourceBytes);
    CMimeMessage source;
    source.Parse(bytes.data(), static_cast<std::int64_t>(upToZero(bytes).size()));

    CMimeMessage result;
    for (std::string_view field : {"To", "From", "CC", "BCC", "Subject", "Date", "Message-ID", "Reply-To",
                                   "In-Reply-To", "References"})
        copyField(source, field, field, result);
    result.PutFieldText("MIME-Version", "1.0");
    result.PutFieldText("Content-Type", "multipart/mixed");
    result.NewBoundary();
    if (CMimeBody* textPart = result.AddChildPart()) fillTextPart(*textPart, SelectTextBodies(source));
    RebuiltImMessage rebuilt;
    for (const std::u16string& name : attachmentNames)
        if (!addAttachmentPart(result, attachmentsFolder, name)) rebuilt.notAttached.push_back(MarkerPath(name));

    rebuilt.bytes.assign(static_cast<std::size_t>(std::max<std::int64_t>(result.StoredSize(), 0)), '\0');
    std::int64_t written = result.WriteTo(rebuilt.bytes.data(), static_cast<std::int64_t>(rebuilt.bytes.size()));
    rebuilt.bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(written, 0)));
    return rebuilt;
}

int RebuildImMessage(const std::vector<std::u16string>& attachmentNames, const std::u16string& attachmentsFolder,
                     const std::u16string& emlPath) {
    std::string bytes;
    if (!platform::readWholeFile(emlPath, bytes)) return 0;
    const std::string stored = RebuildImMessageBytes(attachmentNames, attachmentsFolder, bytes).bytes;
    // Write beside the original and move over it, so a failed write never loses the message.
    std::string target = platform::nativePath(emlPath);
    std::string temporary = target + ".rebuild";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(stored.data(), static_cast<std::streamsize>(stored.size()));
        if (!out.flush()) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return 0;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return ec ? 0 : 1;
}

}  // namespace mime

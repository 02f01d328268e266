#pragma once
// The body tree. A body is a header plus its content, already decoded from its transfer encoding
// (followed by one zero byte), and, for a multipart, its child parts in document order. Bodies own
// their content and their parts; deleting the root deletes the tree. A parsed tree does not refer to
// the input bytes.
//
// Return values: Parse gives the bytes consumed, 0 when the header cannot be read and -1 when a
// content buffer cannot be allocated (the body keeps what it read). WriteTo gives the bytes written,
// 0 when a header does not fit and -1 for a body with parts but no boundary. Size buffers with
// StoredSize(); it is an upper bound.
//
// Nesting: multiparts nested deeper than kMaxNestingDepth levels below the body that Parse was called
// on are not split; such a part keeps its whole decoded body as content, like a multipart without a
// boundary. This bounds the recursion of parsing, storing, CollectLeaves and destruction.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_header.h"

namespace mime {

// MediaTypeIndex values: the start of the Content-Type value, without regard to case.
enum MediaType : int {
    kMediaText = 0,
    kMediaImage = 1,
    kMediaAudio = 2,
    kMediaVideo = 3,
    kMediaApplication = 4,
    kMediaMultipart = 5,  // the only type whose parts are parsed
    kMediaMessage = 6,    // a leaf: content is the embedded message's bytes
    kMediaOther = 7,
};

inline constexpr int kMaxNestingDepth = 64;

class CMimeBody : public CMimeHeader {
public:
    CMimeBody() = default;
    ~CMimeBody() override;

    // Removes the parts, the content and every header field.
    void Reset() override;
    // Header StoredSize + the transfer codec's bound for the content; with parts also
    // boundary + 6 + part StoredSize for each part and boundary + 8 for the closing delimiter.
    std::int64_t StoredSize() const override;
    // Header, content encoded with the body's Content-Transfer-Encoding, then for a body with parts
    // each part after a delimiter line and the closing delimiter line. The delimiter before the first
    // part replaces a CR LF that ends what was written before it (no doubled empty line).
    std::int64_t WriteTo(char* buffer, std::int64_t size) const override;
    // Replaces the body with one read from the text (CR LF line ends). A multipart with a boundary
    // keeps its preamble (including the CR LF before the first delimiter) as content and gets one part
    // per delimiter line ("--" boundary, then "--" for the closing one, or transport padding, or the
    // line end; a longer boundary that begins with this one does not count). The closing delimiter
    // ends the parse and the epilogue is dropped. Malformed parts stay in the tree with what could be
    // read. Returns the bytes consumed (the whole length unless a closing delimiter ended the parse).
    std::int64_t Parse(const char* text, std::int64_t length) override;
    // Parse without content: the same headers and parts, but no content is decoded or kept (Content()
    // stays null everywhere in the tree). For readers that need only header fields and part names.
    std::int64_t ParseOutline(const char* text, std::int64_t length);

    // Content: null when there is none; otherwise contentSize bytes followed by a zero byte.
    const char* Content() const { return content.get(); }
    char* Content() { return content.get(); }
    std::int64_t ContentSize() const { return contentSize; }
    std::string_view ContentView() const {
        return content ? std::string_view(content.get(), static_cast<std::size_t>(contentSize))
                       : std::string_view();
    }
    // Copies the data (a length of 0 means the length of the zero-terminated data) and terminates it
    // with a zero byte. Returns the length, or -1 when allocation fails (content is then null).
    std::int64_t PutContent(const char* data, std::int64_t length);
    // Replaces the content with size zero bytes (plus a terminating zero) to be filled through
    // Content(); ContentSize() becomes size. False when allocation fails.
    bool ReserveContent(std::int64_t size);
    // Shortens the content to size bytes (clamped to what ReserveContent or PutContent allocated).
    void SetContentSize(std::int64_t size);

    // Child parts in document order; a body owns its parts.
    const std::list<std::unique_ptr<CMimeBody>>& Parts() const { return parts; }
    // Appends a new empty part (MakeBody with no name) and returns it; the parent owns it.
    CMimeBody* AddChildPart();
    void RemoveChildParts();
    // Appends the leaves below and including this body in document order (a multipart contributes the
    // leaves of its parts, any other body itself); returns how many were appended.
    int CollectLeaves(std::vector<CMimeBody*>& leaves);
    int CollectLeaves(std::vector<const CMimeBody*>& leaves) const;

    // Content-type operations. ContentTypeText() and TransferEncodingText() come from the header.
    int MediaTypeIndex() const;
    // The Content-Type value up to its first '/' (the whole value when there is none); "text" when
    // there is no Content-Type.
    std::string MainTypeText() const;
    // The Content-Type value's leading value after its first '/'; empty when there is none.
    std::string SubTypeText() const;
    // The boundary parameter of Content-Type, without quotes; empty when absent.
    std::string BoundaryText() const;
    // The name parameter of Content-Type; empty when absent.
    std::string PartName() const;
    // The filename parameter of Content-Disposition; empty when absent.
    std::string DispositionFileName() const;
    // PartName or, failing that, DispositionFileName is not empty.
    bool HasAttachmentName() const;

    // Composing. Sets the charset parameter of Content-Type, or appends Content-Type text/plain with it.
    void PutCharset(std::string_view charset);
    // Sets the name parameter of Content-Type, or appends a Content-Type derived from the name's
    // extension (application/octet-stream when unknown) with the name parameter.
    void PutPartName(std::string_view name);
    // Generates a boundary, makes Content-Type multipart (multipart/mixed unless it already is one)
    // with that boundary parameter, and returns the boundary.
    std::string NewBoundary();

protected:
    std::unique_ptr<char[]> content;
    std::int64_t contentSize = 0;
    std::list<std::unique_ptr<CMimeBody>> parts;

private:
    bool allocateContent(std::int64_t bytes);
    bool decodeContent(std::string_view encoded);
    std::int64_t parseParts(std::string_view text, std::size_t firstDelimiter, const std::string& delimiter);
    void addPart(std::string_view bytes);

    std::int64_t contentCapacity_ = 0;  // bytes allocated for content, the terminating zero excluded
    int depth_ = 0;                     // nesting level below the body Parse was called on
    bool keepContent_ = true;           // false while ParseOutline runs
};

// The root of a tree; loaded, stored and inspected exactly like a body.
class CMimeMessage : public CMimeBody {
public:
    ~CMimeMessage() override;
};

using BodyFactory = std::unique_ptr<CMimeBody> (*)();

// A new body for a main type (null or empty means "text"): the registered class, else a CMimeBody.
std::unique_ptr<CMimeBody> MakeBody(std::string_view mainType);
// Registers a body class for a main type (replacing that name); a null factory only removes the name.
void AddMediaType(std::string_view mainType, BodyFactory factory);

}  // namespace mime

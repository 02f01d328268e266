#pragma once
// Transfer codecs: identity, quoted-printable, base64 and RFC 2047 encoded words, and the registry
// that maps a Content-Transfer-Encoding name to a codec. Codecs work on 8-bit bytes in the message's
// own charset and never convert between charsets.
//
// Use: BindInput(bytes, length, encoding), size a buffer with OutputSizeBound() (an upper bound, not
// the exact length), then Convert(buffer, size), which returns the bytes written (never more than
// size). Malformed input shortens the output; no codec reports errors or allocates.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mime/char_class.h"

namespace mime {

// The identity codec ("7bit", "8bit", "binary" and every unregistered name) and the base of all codecs.
class CMimeCodeBase {
public:
    CMimeCodeBase() = default;
    CMimeCodeBase(const CMimeCodeBase&) = default;
    CMimeCodeBase& operator=(const CMimeCodeBase&) = default;
    virtual ~CMimeCodeBase() = default;

    // The input is not copied: the caller keeps it alive while the codec runs. A negative length
    // counts as 0.
    void BindInput(const char* bytes, std::int64_t length, bool encoding);
    void BindInput(std::string_view bytes, bool encoding) {
        BindInput(bytes.data(), static_cast<std::int64_t>(bytes.size()), encoding);
    }

    // EncodedSizeBound() or DecodedSizeBound(), by the direction given to BindInput.
    std::int64_t OutputSizeBound() const;
    // Encode() or Decode(), by the direction given to BindInput.
    std::int64_t Convert(char* out, std::int64_t max);

    virtual std::int64_t EncodedSizeBound() const;
    virtual std::int64_t DecodedSizeBound() const;
    virtual std::int64_t Encode(char* out, std::int64_t max);
    virtual std::int64_t Decode(char* out, std::int64_t max);

protected:
    std::string_view Input() const { return {input, static_cast<std::size_t>(inputLength)}; }

    const char* input = nullptr;
    std::int64_t inputLength = 0;
    bool isEncoding = false;
};

// Quoted-printable. Line breaks in the input are always written as they stand. Encoded lines are at
// most 76 characters, soft breaks go after the last literal space or tab of the line when there is one.
class CMimeCodeQP : public CMimeCodeBase {
public:
    std::int64_t EncodedSizeBound() const override;
    std::int64_t DecodedSizeBound() const override;
    std::int64_t Encode(char* out, std::int64_t max) override;
    std::int64_t Decode(char* out, std::int64_t max) override;
};

// Base64. With addLineBreaks (the transfer encoding) lines are 76 characters and end in CR LF; without
// it (inside encoded words) the output is one run.
class CMimeCodeBase64 : public CMimeCodeBase {
public:
    explicit CMimeCodeBase64(bool addLineBreaks = true) : addLineBreaks(addLineBreaks) {}

    std::int64_t EncodedSizeBound() const override;
    std::int64_t DecodedSizeBound() const override;
    std::int64_t Encode(char* out, std::int64_t max) override;
    std::int64_t Decode(char* out, std::int64_t max) override;

    bool addLineBreaks;
};

// RFC 2047 encoded words. Decoding takes a header value that may mix plain text and encoded words and
// records the charset and (lower-case) letter of the first word it decodes; encoding writes the input
// as words in the given charset with letter B or Q (any letter but B/b means Q). An empty charset
// makes encoding a plain copy.
class CMimeEncodedWord : public CMimeCodeBase {
public:
    CMimeEncodedWord() = default;
    CMimeEncodedWord(std::string charset, char encodingLetter)
        : encodingLetter(encodingLetter), charset(std::move(charset)) {}

    std::int64_t EncodedSizeBound() const override;
    std::int64_t DecodedSizeBound() const override;
    std::int64_t Encode(char* out, std::int64_t max) override;
    std::int64_t Decode(char* out, std::int64_t max) override;

    char encodingLetter = 'B';
    std::string charset;
};

using TransferCodecFactory = std::unique_ptr<CMimeCodeBase> (*)();

// The codec registered for a Content-Transfer-Encoding name ("quoted-printable", "base64"; compared
// without regard to case). An empty name means "7bit"; every unregistered name yields the identity.
std::unique_ptr<CMimeCodeBase> MakeTransferCodec(std::string_view name);
// Registers a factory under a name (replacing that name); a null factory only removes the name.
void AddTransferCodec(std::string_view name, TransferCodecFactory factory);

}  // namespace mime

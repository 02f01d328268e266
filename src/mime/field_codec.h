#pragma once
// Field codecs: decode RFC 2047 encoded words in a header field value and encode non-ASCII text of a
// value on output. Decoding is the same for every class; the classes differ in how encoding segments
// the value (FoldsAfter, InitialCloser). The registry maps a field name to its codec class.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mime/mime_codec.h"

namespace mime {

// For unregistered field names: segments end at white space and specials; no folding.
// Subclasses change only FoldsAfter and InitialCloser; the conversions are final, so a value without
// "=?" decodes to itself and a value with an empty charset encodes to itself for every field codec.
class CFieldCodeBase : public CMimeCodeBase {
public:
    std::int64_t EncodedSizeBound() const final;
    std::int64_t DecodedSizeBound() const final;
    // With an empty charset a plain copy; otherwise segments holding non-ASCII bytes become encoded
    // words in charset (letter B or Q, whichever is shorter by the usual estimate).
    std::int64_t Encode(char* out, std::int64_t max) final;
    // Runs the encoded-word decoder with room equal to the input length; its charset becomes charset.
    std::int64_t Decode(char* out, std::int64_t max) final;

    // True when CR LF TAB is written after this segment-ending byte.
    virtual bool FoldsAfter(unsigned char byte) const;
    // The delimiter state a value starts in: 0 for none, 255 to keep the whole value one segment.
    virtual unsigned char InitialCloser() const;

    std::string charset;

private:
    template <typename Sink>
    void walkSegments(Sink& sink) const;
};

// Subject, Comments, Content-Description: the value is one segment.
class CFieldCodeText : public CFieldCodeBase {
public:
    unsigned char InitialCloser() const override;
};

// Address fields: one address per line on output (folds after ',' and ':').
class CFieldCodeAddress : public CFieldCodeBase {
public:
    bool FoldsAfter(unsigned char byte) const override;
};

// Content-Type, Content-Disposition: one parameter per line on output (folds after ';').
class CFieldCodeParameter : public CFieldCodeBase {
public:
    bool FoldsAfter(unsigned char byte) const override;
};

using FieldCodecFactory = std::unique_ptr<CFieldCodeBase> (*)();

// The codec registered for a field name (compared without regard to case), or a CFieldCodeBase.
std::unique_ptr<CFieldCodeBase> MakeFieldCodec(std::string_view fieldName);
// Registers a factory under a field name (replacing that name); a null factory only removes the name.
void AddFieldCodec(std::string_view fieldName, FieldCodecFactory factory);

}  // namespace mime

#pragma once
// The byte-level encoders and decoders behind the codec classes, shared with the encoded-word codec.
#include <cstdint>
#include <string_view>

namespace mime::detail {

// Base64 of the input; with lineBreaks a CR LF follows every 76 characters and ends a non-empty last line.
std::int64_t Base64Encode(std::string_view in, char* out, std::int64_t max, bool lineBreaks);
std::int64_t Base64EncodedSizeBound(std::int64_t inputLength, bool lineBreaks);
// Skips every byte outside the alphabet (CR, LF, blanks, stray characters); stops at '=' or when out is full.
std::int64_t Base64Decode(std::string_view in, char* out, std::int64_t max);

// Quoted-printable decoding; with underscoreIsSpace (the Q encoding of encoded words) a literal '_'
// stands for a space, while an escaped =5F stays an underscore.
std::int64_t QpDecode(std::string_view in, char* out, std::int64_t max, bool underscoreIsSpace);
std::int64_t QpEncodedSizeBound(std::string_view in);

}  // namespace mime::detail

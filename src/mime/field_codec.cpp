#include "mime/field_codec.h"

#include <algorithm>
#include <cstring>

#include "mime/mime_registry.h"

namespace mime {
namespace {

// Letter B when base64 is shorter than the quoted-printable estimate and the segment is mostly non-ASCII.
char chooseLetter(std::int64_t length, std::int64_t nonAscii) {
    return 4 * ((length + 2) / 3) < length + 2 * nonAscii && length < 5 * nonAscii ? 'B' : 'Q';
}

class EncodeSink {
public:
    EncodeSink(const std::string& charset, char* out, std::int64_t max)
        : charset_(charset), out_(out), max_(std::max<std::int64_t>(max, 0)) {}

    void segment(std::string_view text, std::int64_t nonAscii) {
        if (nonAscii == 0) {
            const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(text.size()), room());
            std::memcpy(out_ + written_, text.data(), static_cast<std::size_t>(count));
            written_ += count;
            return;
        }
        CMimeEncodedWord word(charset_, chooseLetter(static_cast<std::int64_t>(text.size()), nonAscii));
        word.BindInput(text, true);
        written_ += word.Encode(out_ + written_, room());
    }
    bool ending(unsigned char byte, bool folds) {
        if (room() >= 1) out_[written_++] = static_cast<char>(byte);
        if (!folds || room() < 3) return false;
        std::memcpy(out_ + written_, "\r\n\t", 3);
        written_ += 3;
        return true;
    }
    std::int64_t written() const { return written_; }

private:
    std::int64_t room() const { return max_ - written_; }

    const std::string& charset_;
    char* out_;
    std::int64_t max_;
    std::int64_t written_ = 0;
};

class BoundSink {
public:
    explicit BoundSink(const std::string& charset) : charset_(charset) {}

    void segment(std::string_view text, std::int64_t nonAscii) {
        if (nonAscii == 0) {
            total_ += static_cast<std::int64_t>(text.size());
            return;
        }
        CMimeEncodedWord word(charset_, chooseLetter(static_cast<std::int64_t>(text.size()), nonAscii));
        word.BindInput(text, true);
        total_ += word.EncodedSizeBound();
    }
    bool ending(unsigned char, bool folds) {
        total_ += folds ? 4 : 1;
        return folds;
    }
    std::int64_t total() const { return total_; }

private:
    const std::string& charset_;
    std::int64_t total_ = 0;
};

}  // namespace

namespace {

struct Segment {
    std::size_t end;        // position of the byte that ended it, or the end of the input
    std::int64_t nonAscii;  // bytes of 0x80 and above
    unsigned char closer;   // delimiter state after the ending byte
    bool ended;             // false when the input ran out
};

// Scans one segment from start: a byte of the space or special class ends it; in a delimiter state
// only the closer does. Bytes of 0x80 and above always belong to the segment.
Segment scanSegment(std::string_view in, std::size_t start, unsigned char closer) {
    std::int64_t nonAscii = 0;
    for (std::size_t i = start; i < in.size(); ++i) {
        const auto byte = static_cast<unsigned char>(in[i]);
        if (byte >= 0x80) {
            ++nonAscii;
        } else if (closer != 0) {
            if (byte == closer) return {i, nonAscii, 0, true};
        } else if (HasCharClass(byte, kCharSpace | kCharSpecial)) {
            return {i, nonAscii,
                    static_cast<unsigned char>(byte == '"'   ? '"'
                                               : byte == '(' ? ')'
                                               : byte == '<' ? '>'
                                                             : 0),
                    true};
        }
    }
    return {in.size(), nonAscii, closer, false};
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// Cuts the value into segments (after a double quote, '(' or '<' a segment runs to the matching
// closer). The sink receives each segment and the byte that ended it; after a fold the white space
// that follows in the input is skipped. Two segments with non-ASCII bytes separated only by blanks
// form one segment: as separate encoded words the blanks between them would vanish on decoding.
template <typename Sink>
void CFieldCodeBase::walkSegments(Sink& sink) const {
    const std::string_view in = Input();
    unsigned char closer = InitialCloser();
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t start = i;
        Segment segment = scanSegment(in, start, closer);
        while (segment.nonAscii > 0 && segment.ended && segment.closer == 0 && isBlank(in[segment.end])) {
            std::size_t next = segment.end;
            while (next < in.size() && isBlank(in[next])) ++next;
            const Segment following = scanSegment(in, next, 0);
            if (following.nonAscii == 0) break;
            segment = {following.end, segment.nonAscii + following.nonAscii, following.closer,
                       following.ended};
        }
        closer = segment.closer;
        sink.segment(in.substr(start, segment.end - start), segment.nonAscii);
        if (!segment.ended) break;
        i = segment.end;
        const auto byte = static_cast<unsigned char>(in[i++]);
        if (sink.ending(byte, FoldsAfter(byte)))
            while (i < in.size() && IsSpaceByte(static_cast<unsigned char>(in[i]))) ++i;
    }
}

std::int64_t CFieldCodeBase::EncodedSizeBound() const {
    if (charset.empty()) return inputLength;
    BoundSink sink(charset);
    walkSegments(sink);
    return sink.total();
}

std::int64_t CFieldCodeBase::DecodedSizeBound() const { return inputLength; }

std::int64_t CFieldCodeBase::Encode(char* out, std::int64_t max) {
    if (charset.empty()) return CMimeCodeBase::Encode(out, max);
    EncodeSink sink(charset, out, max);
    walkSegments(sink);
    return sink.written();
}

std::int64_t CFieldCodeBase::Decode(char* out, std::int64_t max) {
    CMimeEncodedWord decoder;
    decoder.BindInput(input, inputLength, false);
    const std::int64_t written = decoder.Decode(out, std::min(max, inputLength));
    charset = std::move(decoder.charset);
    return written;
}

bool CFieldCodeBase::FoldsAfter(unsigned char) const { return false; }
unsigned char CFieldCodeBase::InitialCloser() const { return 0; }

unsigned char CFieldCodeText::InitialCloser() const { return 255; }

bool CFieldCodeAddress::FoldsAfter(unsigned char byte) const { return byte == ',' || byte == ':'; }

bool CFieldCodeParameter::FoldsAfter(unsigned char byte) const { return byte == ';'; }

namespace {

std::unique_ptr<CFieldCodeBase> makeText() { return std::make_unique<CFieldCodeText>(); }
std::unique_ptr<CFieldCodeBase> makeAddress() { return std::make_unique<CFieldCodeAddress>(); }
std::unique_ptr<CFieldCodeBase> makeParameter() { return std::make_unique<CFieldCodeParameter>(); }

CMimeRegistry<FieldCodecFactory>& registry() {
    static CMimeRegistry<FieldCodecFactory> codecs{
        {"Subject", makeText},
        {"Comments", makeText},
        {"Content-Description", makeText},
        {"From", makeAddress},
        {"To", makeAddress},
        {"Resent-To", makeAddress},
        {"Cc", makeAddress},
        {"Resent-Cc", makeAddress},
        {"Bcc", makeAddress},
        {"Resent-Bcc", makeAddress},
        {"Reply-To", makeAddress},
        {"Resent-Reply-To", makeAddress},
        {"Content-Type", makeParameter},
        {"Content-Disposition", makeParameter},
    };
    return codecs;
}

[[maybe_unused]] const bool kRegistered = (registry(), true);

}  // namespace

std::unique_ptr<CFieldCodeBase> MakeFieldCodec(std::string_view fieldName) {
    if (FieldCodecFactory factory = registry().Find(fieldName)) return factory();
    return std::make_unique<CFieldCodeBase>();
}

void AddFieldCodec(std::string_view fieldName, FieldCodecFactory factory) {
    registry().Add(fieldName, factory);
}

}  // namespace mime

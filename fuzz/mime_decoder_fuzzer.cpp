// Decodes arbitrary bytes with one decoder (FUZZ_DECODER: 1 base64, 2 quoted-printable, 3 encoded
// words), then checks that encoding the result and decoding it again gives the same bytes.
#include <string>

#include "fuzz_check.h"
#include "mime/field_codec.h"
#include "mime/mime_codec.h"

namespace {

std::string run(mime::CMimeCodeBase& codec, std::string_view input, bool encoding) {
    codec.BindInput(input, encoding);
    const std::int64_t bound = codec.OutputSizeBound();
    fuzz::check(bound >= 0, "size bound not negative");
    fuzz::ExactBuffer out(bound);
    const std::int64_t written = codec.Convert(out.bytes.get(), out.size);
    fuzz::check(written >= 0 && written <= bound, "Convert within the bound");
    // A smaller buffer must be respected as well.
    fuzz::ExactBuffer half(bound / 2);
    fuzz::check(codec.Convert(half.bytes.get(), half.size) <= half.size, "Convert within a small buffer");
    return std::string(out.view(written));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ExactBuffer input = fuzz::copyInput(data, size);
    const std::string_view bytes = input.view(input.size);
#if FUZZ_DECODER == 1
    mime::CMimeCodeBase64 codec(size % 2 == 0);
#elif FUZZ_DECODER == 2
    mime::CMimeCodeQP codec;
#else
    mime::CMimeEncodedWord codec;
#endif
    const std::string decoded = run(codec, bytes, false);
#if FUZZ_DECODER == 3
    // Re-encode with a charset of varying length and letter; the words decode to the same bytes.
    mime::CMimeEncodedWord encoder(std::string(size % 80 + 1, 'c'), size % 3 ? 'Q' : 'B');
    const std::string encoded = run(encoder, decoded, true);
    mime::CMimeEncodedWord decoder;
    fuzz::check(run(decoder, encoded, false) == decoded, "encoded words round trip");
    // The field codecs encode within their bounds too.
    for (auto codecName : {"Subject", "To", "Content-Type", "X-Other"}) {
        auto field = mime::MakeFieldCodec(codecName);
        field->charset = codec.charset.empty() ? std::string("x") : codec.charset;
        (void)run(*field, decoded, true);
    }
#else
    const std::string encoded = run(codec, decoded, true);
    fuzz::check(run(codec, encoded, false) == decoded, "decode(encode(x)) == x");
#endif
    return 0;
}

// Parses arbitrary bytes as a message, stores the tree back and parses the stored bytes again.
// Checks: no fault, StoredSize bounds WriteTo (nothing is cut off), a smaller buffer is respected.
#include <vector>

#include "fuzz_check.h"
#include "mime/mime_body.h"

namespace {

std::int64_t store(const mime::CMimeBody& body, fuzz::ExactBuffer& buffer) {
    return body.WriteTo(buffer.bytes.get(), buffer.size);
}

void inspect(const mime::CMimeMessage& message) {
    std::vector<const mime::CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    for (const mime::CMimeBody* leaf : leaves) {
        (void)leaf->HasAttachmentName();
        (void)leaf->MediaTypeIndex();
        (void)leaf->SubTypeText();
        (void)leaf->ContentView();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ExactBuffer input = fuzz::copyInput(data, size);
    mime::CMimeMessage message;
    const std::int64_t consumed = message.Parse(input.bytes.get(), input.size);
    fuzz::check(consumed >= -1 && consumed <= input.size, "Parse result within the input");
    inspect(message);

    const std::int64_t bound = message.StoredSize();
    if (bound > fuzz::kMaxOutput) return 0;
    fuzz::ExactBuffer exact(bound);
    const std::int64_t written = store(message, exact);
    fuzz::check(written <= bound, "WriteTo within StoredSize");
    fuzz::ExactBuffer roomy(bound + 4096);
    const std::int64_t writtenRoomy = store(message, roomy);
    fuzz::check(writtenRoomy == written && exact.view(written) == roomy.view(written),
                "StoredSize cuts nothing off");

    fuzz::ExactBuffer small(bound / 2);
    fuzz::check(store(message, small) <= small.size, "WriteTo respects a small buffer");

    if (written > 0) {
        mime::CMimeMessage again;
        again.Parse(exact.bytes.get(), written);
        inspect(again);
        const std::int64_t againBound = again.StoredSize();
        if (againBound <= fuzz::kMaxOutput) {
            fuzz::ExactBuffer second(againBound);
            fuzz::check(store(again, second) <= againBound, "second WriteTo within StoredSize");
        }
    }
    return 0;
}

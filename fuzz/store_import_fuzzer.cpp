// Imports arbitrary bytes as an RFC 822 message into the MAPI model. Checks: no fault, no hang, and
// the message size it reports is not negative.
#include "fuzz_check.h"
#include "store/import/message_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ExactBuffer input = fuzz::copyInput(data, size);
    store::mapi::Message message = store::import::importMessage(input.view(input.size));
    fuzz::check(store::import::messageSizeOf(message) >= 0, "a message size that is not negative");
    return 0;
}

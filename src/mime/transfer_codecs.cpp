#include "mime/mime_codec.h"
#include "mime/mime_registry.h"

namespace mime {
namespace {

std::unique_ptr<CMimeCodeBase> makeQp() { return std::make_unique<CMimeCodeQP>(); }
std::unique_ptr<CMimeCodeBase> makeBase64() { return std::make_unique<CMimeCodeBase64>(true); }

CMimeRegistry<TransferCodecFactory>& registry() {
    static CMimeRegistry<TransferCodecFactory> codecs{{"quoted-printable", makeQp}, {"base64", makeBase64}};
    return codecs;
}

// Fill the registry during static initialisation, before any thread can look it up.
[[maybe_unused]] const bool kRegistered = (registry(), true);

}  // namespace

std::unique_ptr<CMimeCodeBase> MakeTransferCodec(std::string_view name) {
    if (name.empty()) name = "7bit";
    if (TransferCodecFactory factory = registry().Find(name)) return factory();
    return std::make_unique<CMimeCodeBase>();
}

void AddTransferCodec(std::string_view name, TransferCodecFactory factory) { registry().Add(name, factory); }

}  // namespace mime

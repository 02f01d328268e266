#pragma once
// Writes a MAPI message as a Unicode .msg file (MS-OXMSG on a version 3 compound file): the message's
// property stream and value streams at the top, one "__recip_version1.0_#XXXXXXXX" storage per
// recipient, one "__attach_version1.0_#XXXXXXXX" storage per attachment, an embedded message in its
// attachment's "__substg1.0_3701000D" storage (nesting as deep as the model does), and the named
// property mapping of the whole file in "__nameid_version1.0".
#include <string>

#include "store/mapi/message.h"
#include "store/result.h"
#include "store/stop_request.h"

namespace store::msg {

// Adds PidTagStoreSupportMask (Unicode strings) to the top message when the model has none.
// Fails, with the reason and no file left behind, when the file cannot be written or `stop`
// answered true (the reason "stopped"; polled before every storage and stream, so at least once per
// recipient).
Result<void> writeMsgFile(const mapi::Message& message, const std::u16string& path,
                          const StopRequest& stop = {});

// The same file's bytes, built in memory (for a writer that only writes them out).
Result<std::string> msgFileBytes(const mapi::Message& message, const StopRequest& stop = {});

// Deepest nesting of embedded messages that is written.
inline constexpr int kMaxEmbeddingDepth = 64;

}  // namespace store::msg

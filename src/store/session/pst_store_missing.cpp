#include "store/session/pst_store.h"

namespace store::session {

// Built when the PST writer is not part of the build: PST stores cannot be opened.
std::shared_ptr<StoreBackend> openPstStore(const std::u16string&, const std::u16string&) {
    throw StoreError("this build has no PST writer");
}

}  // namespace store::session

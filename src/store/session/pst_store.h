#pragma once
// A PST file as a message store, through the PST writer of store/pst. An existing file is opened and
// appended to (a file the writer cannot read is refused, never replaced); a missing one is created.
// The writer cannot move a message: moving one to Deleted Items deletes it.
#include <memory>

#include "store/session/store_backend.h"

namespace store::session {

std::shared_ptr<StoreBackend> openPstStore(const std::u16string& path, const std::u16string& displayName);

}  // namespace store::session

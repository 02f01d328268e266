#include "store/session/native_library.h"

#include "store/library/library_registry.h"

namespace store {

void registerNativeLibrary(session::NativeSessionOptions options) {
    library::registerSessionFactory([options] { return std::make_shared<session::NativeSession>(options); });
}

}  // namespace store

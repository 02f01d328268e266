#pragma once
// Makes the native engine the library implementation: library::createSession() then gives a
// NativeSession. The desktop program and the command line call this once at start-up.
#include "store/session/native_session.h"

namespace store {

void registerNativeLibrary(session::NativeSessionOptions options = {});

}  // namespace store

#pragma once
// Which library implementation is present: the store engine registers its session factory at start-up;
// without one, creating a session fails as an unregistered library does.
#include <functional>
#include <memory>

#include "store/library/library_interface.h"

namespace library {

using SessionFactory = std::function<std::shared_ptr<Session>()>;

// Replaces the registered factory (an empty one removes it).
void registerSessionFactory(SessionFactory factory);
bool isLibraryRegistered();
// A new session, or null when no library is registered or the factory fails.
std::shared_ptr<Session> createSession();

}  // namespace library

#include "store/library/library_registry.h"

#include <mutex>

namespace library {
namespace {

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}

SessionFactory& registeredFactory() {
    static SessionFactory factory;
    return factory;
}

}  // namespace

void registerSessionFactory(SessionFactory factory) {
    std::lock_guard guard(registryLock());
    registeredFactory() = std::move(factory);
}

bool isLibraryRegistered() {
    std::lock_guard guard(registryLock());
    return static_cast<bool>(registeredFactory());
}

std::shared_ptr<Session> createSession() {
    SessionFactory factory;
    {
        std::lock_guard guard(registryLock());
        factory = registeredFactory();
    }
    if (!factory) return nullptr;
    try {
        return factory();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace library

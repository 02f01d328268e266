#pragma once
// The failure rule of the library: a failing call is retried once and then yields nothing (no object,
// empty text, 0, false); a call on a missing object does nothing and yields nothing. Every call the
// export makes goes through callGuarded.
#include <memory>
#include <type_traits>
#include <utility>

namespace library {

// Runs call(*object) with the rule above; Result{} stands for "nothing".
template <typename Object, typename Call>
auto callGuarded(const std::shared_ptr<Object>& object, Call&& call) -> decltype(call(*object)) {
    using Result = decltype(call(*object));
    if (!object) {
        if constexpr (std::is_void_v<Result>)
            return;
        else
            return Result{};
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            return call(*object);
        } catch (...) {
        }
    }
    if constexpr (!std::is_void_v<Result>) return Result{};
}

}  // namespace library

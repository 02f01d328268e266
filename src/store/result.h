#pragma once
// How the store layers (ndb, ltp, messaging, cfb, msg) say that something failed and why: a function
// that can fail for a reason outside the program (the file system, the input) returns Result<T>, a
// value or a Failure; Result<void> when there is no value. A value the file format cannot hold is a
// LimitError (thrown where the value is encoded, turned into a Failure where a message is saved), so
// that nothing is ever cut short silently.
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

namespace store {

// Why something failed: the system's error number (errno; 0 when the system did not fail) and a
// message for the log ("write at offset 1912832: No space left on device").
struct Failure {
    int code = 0;
    std::string message;
};

// The failure of the system call that just set errno: what was being done, and the system's reason.
inline Failure systemFailure(const std::string& what, int code = errno) {
    return Failure{code, what + ": " + std::strerror(code)};
}

// A value larger than the format can hold (a block, a heap, an id space, a data tree).
class LimitError : public std::length_error {
public:
    using std::length_error::length_error;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; asking for it after a failure is a programming error and throws std::logic_error.
    T& value() & { return checked(); }
    const T& value() const& { return const_cast<Result*>(this)->checked(); }
    T value() && { return std::move(checked()); }
    T& operator*() & { return checked(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &checked(); }
    const T* operator->() const { return &value(); }

    // The failure; empty (code 0, no message) while ok().
    const Failure& failure() const {
        static const Failure none;
        return ok() ? none : std::get<1>(state_);
    }

private:
    T& checked() {
        if (!ok()) throw std::logic_error("no value: " + std::get<1>(state_).message);
        return std::get<0>(state_);
    }

    std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Failure& failure() const { return failure_; }

private:
    Failure failure_;
    bool ok_ = true;
};

}  // namespace store

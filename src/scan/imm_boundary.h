#pragma once
// The tests that place an .imm message boundary: the header run (do header lines stand directly above
// the MIME-Version line? then the message starts at the first of them), the look-ahead (is the
// MIME-Version line inside a header block that already began?) and the look-back (where does this
// message's header block begin?). All read the mailbox through a second handle. The look-back
// remembers the last ten CR LF pairs it has seen, so the whole scan reads every byte at most a bounded
// number of times.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/cfile.h"

namespace scan {

class ImmBoundaryLocator {
public:
    // file: a second handle on the mailbox; when it is not open, the look-ahead is false and the
    // look-back returns the match position unchanged.
    explicit ImmBoundaryLocator(const platform::CFile& file) : file_(file) {}

    // Bytes [base, base + size) already in memory; reads inside them need no system call.
    void setWindow(const char* data, std::size_t size, std::uint64_t base) {
        window_ = data;
        windowSize_ = size;
        windowBase_ = base;
    }

    // i: position of the LF that starts "\nMIME-Version: 1.0". Calls must come with increasing i.
    // The message start when the line directly above holds a header line: the first byte of the
    // earliest line of the unbroken run of header lines ending there, at most ten lines back. A header
    // line is a field line ("Name:" with a name of printable ASCII other than space and colon) or a
    // non-blank line starting with a space or tab below one; a continuation counts only when the field
    // line it continues lies within the ten lines. Nothing when the line above is no header line.
    std::optional<std::uint64_t> headerRunStart(std::uint64_t i) const;
    bool headerBlockBegan(std::uint64_t i) const;
    std::uint64_t headerStart(std::uint64_t i);

private:
    enum class LineKind : unsigned char { Other, To, From, Subject };
    enum class HeaderKind : unsigned char { None, Field, Continuation };
    HeaderKind classifyHeaderLine(std::uint64_t start, std::uint64_t end) const;
    std::uint64_t lineStartBefore(std::uint64_t lf) const;
    struct CrLfPair {
        std::uint64_t position;
        LineKind following;
    };
    LineKind classifyLineAt(std::uint64_t q) const;
    std::size_t readAt(std::uint64_t position, char* into, std::size_t count) const;
    void collectPairsBelow(std::uint64_t i, std::vector<CrLfPair>& newestFirst) const;

    const platform::CFile& file_;
    const char* window_ = nullptr;
    std::size_t windowSize_ = 0;
    std::uint64_t windowBase_ = 0;
    std::uint64_t scannedUpTo_ = 0;     // pairs at positions below this are in recent_ (the last ten)
    std::vector<CrLfPair> recent_;      // newest first, at most ten
};

}  // namespace scan

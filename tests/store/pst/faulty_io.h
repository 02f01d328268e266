#pragma once
// A file layer for the PST writer that fails on purpose: the nth write, flush to disk or size change
// after arming fails with the given error, as a full or failing disk would. A failing write may first
// write part of its bytes (a short write). Once the disk is "full", every later write fails too.
#include <cerrno>
#include <cstddef>
#include <vector>

#include "store/pst/ndb/pst_file.h"

namespace testing_support {

class FaultyIo : public store::pst::FileIo {
public:
    enum class Call { Write, Sync, Truncate };

    // Fails the nth call of that kind (1 = the next one) with code; a failing write first writes
    // shortBytes of its data when that is fewer than it was asked to write.
    FaultyIo(Call call, int nth, int code, std::size_t shortBytes = 0)
        : call_(call), countdown_(nth), code_(code), shortBytes_(shortBytes) {
        store::pst::useFileIoForTesting(this);
    }
    ~FaultyIo() override { store::pst::useFileIoForTesting(nullptr); }
    FaultyIo(const FaultyIo&) = delete;
    FaultyIo& operator=(const FaultyIo&) = delete;

    // Until armed, every call succeeds and is only counted.
    void arm() { armed_ = true; }
    bool fired() const { return fired_; }
    // Offsets of the writes since arming.
    const std::vector<off_t>& armedWrites() const { return offsets_; }

    ssize_t pwrite(int fd, const void* data, std::size_t size, off_t offset) override {
        if (armed_) offsets_.push_back(offset);
        if (fired_ && call_ == Call::Write) return fail();
        if (due(Call::Write)) {
            if (shortBytes_ > 0 && shortBytes_ < size) return FileIo::pwrite(fd, data, shortBytes_, offset);
            return fail();
        }
        return FileIo::pwrite(fd, data, size, offset);
    }
    int fdatasync(int fd) override { return due(Call::Sync) ? fail() : FileIo::fdatasync(fd); }
    int ftruncate(int fd, off_t size) override { return due(Call::Truncate) ? fail() : FileIo::ftruncate(fd, size); }

private:
    bool due(Call call) {
        if (!armed_ || fired_ || call != call_ || --countdown_ > 0) return false;
        fired_ = true;
        return true;
    }
    int fail() {
        errno = code_;
        return -1;
    }

    Call call_;
    int countdown_;
    int code_;
    std::size_t shortBytes_;
    bool armed_ = false;
    bool fired_ = false;
    std::vector<off_t> offsets_;
};

}  // namespace testing_support

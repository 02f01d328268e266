#pragma once
// A file layer for the PST writer that fails on purpose: the nth write, flush to disk or size change
// after arming fails with the given error, as a failing disk would; or the disk is full once a number
// of bytes were written. A failing write may first write part of its bytes (a short write). Once the
// disk is full, every later write fails too.
#include <cerrno>
#include <cstddef>
#include <utility>
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
    // A disk with room for this many more bytes, armed at once: the write that does not fit writes
    // what fits, and it and every later write fail with ENOSPC.
    static constexpr std::size_t kNoLimit = ~std::size_t{0};
    explicit FaultyIo(std::size_t room) : FaultyIo(Call::Write, 1 << 30, ENOSPC) {
        room_ = room;
        armed_ = true;
    }
    ~FaultyIo() override { store::pst::useFileIoForTesting(nullptr); }
    FaultyIo(const FaultyIo&) = delete;
    FaultyIo& operator=(const FaultyIo&) = delete;

    // Until armed, every call succeeds and is only counted.
    void arm() { armed_ = true; }
    // Only the one call fails: the disk has room again afterwards.
    void failOnce() { once_ = true; }
    bool fired() const { return fired_; }
    // Offsets of the writes since arming, the bytes they wrote and the flushes to disk.
    const std::vector<off_t>& armedWrites() const { return offsets_; }
    std::size_t bytesWritten() const { return bytes_; }
    int syncs() const { return syncs_; }

    ssize_t pwrite(int fd, const void* data, std::size_t size, off_t offset) override {
        if (armed_) offsets_.push_back(offset);
        if (std::exchange(failNext_, false)) return fail();  // the rest of a short write
        if (fired_ && call_ == Call::Write && !once_) return fail();
        if (room_ != kNoLimit && size > room_) {
            fired_ = true;
            if (room_ == 0) return fail();
            size = room_;
        } else if (due(Call::Write)) {
            if (shortBytes_ == 0 || shortBytes_ >= size) return fail();
            size = shortBytes_;
            failNext_ = true;
        }
        const ssize_t n = FileIo::pwrite(fd, data, size, offset);
        if (n > 0) {
            bytes_ += static_cast<std::size_t>(n);
            if (room_ != kNoLimit) room_ -= static_cast<std::size_t>(n);
        }
        return n;
    }
    int fdatasync(int fd) override {
        ++syncs_;
        return due(Call::Sync) ? fail() : FileIo::fdatasync(fd);
    }
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
    std::size_t room_ = kNoLimit;
    bool armed_ = false;
    bool fired_ = false;
    bool once_ = false;
    bool failNext_ = false;
    std::vector<off_t> offsets_;
    std::size_t bytes_ = 0;
    int syncs_ = 0;
};

}  // namespace testing_support

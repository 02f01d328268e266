#include "store/cfb/compound_file_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "store/little_endian.h"

namespace store::cfb {

namespace {

// count sector numbers from numbers[first] on, FREESECT past its end.
std::string encodeSectorNumbers(const std::vector<std::uint32_t>& numbers, std::size_t count, std::size_t first = 0) {
    static_assert(FREESECT == 0xFFFFFFFF);
    std::string out(count * 4, '\xFF');  // FREESECT past the end
    const std::size_t have = first < numbers.size() ? std::min(count, numbers.size() - first) : 0;
    if constexpr (std::endian::native == std::endian::little) {
        if (have > 0) std::memcpy(out.data(), numbers.data() + first, have * 4);
    } else {
        for (std::size_t i = 0; i < have; ++i) storeU32(&out[4 * i], numbers[first + i]);
    }
    return out;
}

std::size_t roundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

}  // namespace

CompoundFileWriter::~CompoundFileWriter() {
    if (!finished_ && out_.isOpen()) out_.discard();
}

bool CompoundFileWriter::fail(std::string message) {
    failure_ = {0, std::move(message)};
    return false;
}

bool CompoundFileWriter::failWriting(const std::string& what) {
    failure_ = out_.errorCode() ? systemFailure(what + " " + out_.nativePath(), out_.errorCode())
                                : Failure{0, what + " " + out_.nativePath()};
    return false;
}

bool CompoundFileWriter::open(const std::u16string& path) {
    if (!out_.open(path)) return failWriting("cannot create");
    out_.write(std::string(kSectorSize, '\0'));  // the header, written last
    dirPending_ = Directory::unusedEntry();      // the root entry's place, filled in last
    return true;
}

void CompoundFileWriter::openInMemory(std::size_t expectedSize) {
    out_.openInMemory(expectedSize);
    out_.write(std::string(kSectorSize, '\0'));
    dirPending_ = Directory::unusedEntry();
}

bool CompoundFileWriter::stopped() {
    if (!stopRequested(stopRequest_)) return false;
    return !fail("stopped");
}

std::optional<EntryId> CompoundFileWriter::addStorage(EntryId parent, std::u16string_view name) {
    if (stopped()) return std::nullopt;
    auto id = dir_.add(parent, name, EntryType::Storage);
    if (!id) fail("invalid or duplicate storage name");
    return id;
}

bool CompoundFileWriter::setClsid(EntryId entry, const std::array<std::uint8_t, 16>& clsid) {
    DirEntry* storage = dir_.find(entry);
    if (!storage || storage->type == EntryType::Stream) return fail("no storage to set a class id on");
    storage->clsid = clsid;
    return true;
}

bool CompoundFileWriter::closeStorage(EntryId storage) {
    if (openStream_) return fail("a stream is still open");
    if (storage == kRootEntry || finished_ || !out_.isOpen()) return fail("no storage to close");
    if (!dir_.close(storage, [this](std::uint32_t number, std::string_view entry) { takeEntry(number, entry); }))
        return fail("no storage to close");
    return out_.ok() || failWriting("cannot write");
}

void CompoundFileWriter::takeEntry(std::uint32_t number, std::string_view entry) {
    if (number == 0) {
        (dirHeadFilled_ ? dirHead_ : dirPending_).replace(0, kDirEntrySize, entry);
        return;
    }
    dirPending_.append(entry);
    if (dirPending_.size() < kSectorSize) return;
    if (dirHeadFilled_) {
        writeDirectorySector(dirPending_);
    } else {
        dirHead_ = dirPending_;
        dirHeadFilled_ = true;
    }
    dirPending_.clear();
}

void CompoundFileWriter::appendSector(std::uint32_t& first, std::uint32_t& last, std::string_view bytes) {
    const std::uint32_t s = allocateSector();
    if (last == ENDOFCHAIN) {
        first = s;
    } else {
        fat_[last] = s;
    }
    last = s;
    writeSector(bytes);
}

void CompoundFileWriter::writeDirectorySector(std::string_view bytes) {
    appendSector(dirFirstWritten_, dirLastWritten_, bytes);
}

std::uint32_t CompoundFileWriter::finishDirectory() {
    dir_.close(kRootEntry, [this](std::uint32_t number, std::string_view entry) { takeEntry(number, entry); });
    if (!dirPending_.empty()) {
        while (dirPending_.size() < kSectorSize) dirPending_ += Directory::unusedEntry();
        if (dirHeadFilled_) {
            writeDirectorySector(dirPending_);
        } else {
            dirHead_ = dirPending_;
        }
        dirPending_.clear();
    }
    // The sector holding the root entry comes first in the directory's chain.
    const std::uint32_t head = allocateSector();
    fat_[head] = dirFirstWritten_;
    writeSector(dirHead_);
    return head;
}

bool CompoundFileWriter::addStream(EntryId parent, std::u16string_view name, std::string_view data) {
    return beginStream(parent, name) && append(data) && endStream();
}

bool CompoundFileWriter::beginStream(EntryId parent, std::u16string_view name) {
    if (openStream_) return fail("a stream is already open");
    if (finished_ || !out_.isOpen()) return fail("the file is not open");
    if (stopped()) return false;
    auto id = dir_.add(parent, name, EntryType::Stream);
    if (!id) return fail("invalid or duplicate stream name");
    openStream_ = id;
    pending_.clear();
    lastSector_ = ENDOFCHAIN;
    return true;
}

std::uint32_t CompoundFileWriter::allocateSector() {
    const auto sector = static_cast<std::uint32_t>(fat_.size());
    fat_.push_back(ENDOFCHAIN);
    return sector;
}

void CompoundFileWriter::writeSector(std::string_view bytes) {
    out_.write(bytes);
    if (bytes.size() < kSectorSize) out_.writeZeros(kSectorSize - bytes.size());
}

bool CompoundFileWriter::append(std::string_view data) {
    if (!openStream_) return fail("no stream is open");
    DirEntry& entry = dir_[*openStream_];
    if (entry.size + data.size() > kMaxStreamSize) return fail("stream larger than a compound file can hold");
    if (fat_.size() + data.size() / kSectorSize + 2 > MAXREGSECT) return fail("compound file too large");
    entry.size += data.size();
    if (entry.size < kMiniStreamCutoff) {
        pending_.append(data);
        return true;
    }
    auto emit = [&](std::string_view sector) { appendSector(entry.startSector, lastSector_, sector); };
    std::size_t used = 0;
    if (pending_.size() % kSectorSize != 0) {
        used = std::min(data.size(), kSectorSize - pending_.size() % kSectorSize);
        pending_.append(data.substr(0, used));
    }
    std::size_t done = 0;
    for (; done + kSectorSize <= pending_.size(); done += kSectorSize) emit(std::string_view(pending_).substr(done, kSectorSize));
    pending_.erase(0, done);
    for (; data.size() - used >= kSectorSize; used += kSectorSize) emit(data.substr(used, kSectorSize));
    pending_.append(data.substr(used));
    return out_.ok() || failWriting("cannot write");
}

bool CompoundFileWriter::endStream() {
    if (!openStream_) return fail("no stream is open");
    DirEntry& entry = dir_[*openStream_];
    if (entry.size >= kMiniStreamCutoff) {
        if (!pending_.empty()) {
            const std::uint32_t s = allocateSector();
            fat_[lastSector_] = s;
            writeSector(pending_);
        }
    } else if (entry.size > 0) {
        addToMiniStream(entry, pending_);
    }
    openStream_.reset();
    pending_.clear();
    return out_.ok() || failWriting("cannot write");
}

void CompoundFileWriter::addToMiniStream(DirEntry& entry, std::string_view data) {
    const std::size_t count = (data.size() + kMiniSectorSize - 1) / kMiniSectorSize;
    const auto first = static_cast<std::uint32_t>(miniFat_.size());
    for (std::size_t i = 0; i < count; ++i) {
        miniFat_.push_back(i + 1 < count ? static_cast<std::uint32_t>(first + i + 1) : ENDOFCHAIN);
    }
    entry.startSector = first;
    miniTail_.append(data);
    miniTail_.resize(roundUp(miniTail_.size(), kMiniSectorSize), '\0');
    std::size_t done = 0;
    for (; done + kSectorSize <= miniTail_.size(); done += kSectorSize) {
        appendSector(miniStreamFirst_, miniStreamLast_,
                     std::string_view(miniTail_).substr(done, kSectorSize));
    }
    miniTail_.erase(0, done);
}

std::uint32_t CompoundFileWriter::writeChain(const std::string& bytes) {
    const std::size_t count = bytes.size() / kSectorSize;
    if (count == 0) return ENDOFCHAIN;
    const auto first = static_cast<std::uint32_t>(fat_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t s = allocateSector();
        if (i > 0) fat_[s - 1] = s;
        writeSector(std::string_view(bytes).substr(i * kSectorSize, kSectorSize));
    }
    return first;
}

bool CompoundFileWriter::finish() {
    if (finished_ || !out_.isOpen()) return fail("the file is not open");
    if (openStream_ && !endStream()) return false;

    // The mini stream's last, partly filled sector.
    if (!miniTail_.empty()) {
        appendSector(miniStreamFirst_, miniStreamLast_, miniTail_);
        miniTail_.clear();
    }
    DirEntry& root = dir_[kRootEntry];
    root.startSector = miniStreamFirst_;
    root.size = miniFat_.size() * kMiniSectorSize;

    const std::size_t miniFatSectors = (miniFat_.size() + kEntriesPerSector - 1) / kEntriesPerSector;
    const std::uint32_t firstMiniFat =
        writeChain(encodeSectorNumbers(miniFat_, miniFatSectors * kEntriesPerSector));

    const std::uint32_t firstDir = finishDirectory();

    const FatLayout layout = fatLayoutFor(fat_.size());
    if (fat_.size() + layout.fatSectors + layout.difatSectors > MAXREGSECT) return fail("compound file too large");
    std::vector<std::uint32_t> fatSectors;
    for (std::uint64_t i = 0; i < layout.fatSectors; ++i) {
        fatSectors.push_back(static_cast<std::uint32_t>(fat_.size()));
        fat_.push_back(FATSECT);
    }
    const auto firstDifat = layout.difatSectors ? static_cast<std::uint32_t>(fat_.size()) : ENDOFCHAIN;
    for (std::uint64_t i = 0; i < layout.difatSectors; ++i) fat_.push_back(DIFSECT);

    for (std::size_t i = 0; i < fatSectors.size(); ++i)
        out_.write(encodeSectorNumbers(fat_, kEntriesPerSector, i * kEntriesPerSector));
    for (std::uint64_t d = 0; d < layout.difatSectors; ++d) {
        std::string sector;
        sector.reserve(kSectorSize);
        for (std::size_t k = 0; k < kDifatEntriesPerSector; ++k) {
            const std::size_t n = kHeaderDifatEntries + d * kDifatEntriesPerSector + k;
            putU32(sector, n < fatSectors.size() ? fatSectors[n] : FREESECT);
        }
        putU32(sector, d + 1 < layout.difatSectors ? static_cast<std::uint32_t>(firstDifat + d + 1) : ENDOFCHAIN);
        out_.write(sector);
    }

    out_.writeAt(0, header(firstDir, firstMiniFat, static_cast<std::uint32_t>(miniFatSectors), firstDifat,
                           static_cast<std::uint32_t>(layout.difatSectors), fatSectors));
    finished_ = true;
    if (!out_.close()) {
        out_.discard();
        return failWriting("cannot write");
    }
    return true;
}

std::string CompoundFileWriter::header(std::uint32_t firstDirSector, std::uint32_t firstMiniFatSector,
                                       std::uint32_t miniFatSectors, std::uint32_t firstDifatSector,
                                       std::uint32_t difatSectors,
                                       const std::vector<std::uint32_t>& fatSectors) const {
    std::string h;
    h.reserve(kSectorSize);
    h.assign("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    h.append(16, '\0');          // class id
    putU16(h, 0x003E);           // minor version
    putU16(h, 0x0003);           // major version 3
    putU16(h, 0xFFFE);           // byte order: little-endian
    putU16(h, 9);                // 512-byte sectors
    putU16(h, 6);                // 64-byte mini sectors
    h.append(6, '\0');
    putU32(h, 0);                // directory sectors: always 0 in version 3
    putU32(h, static_cast<std::uint32_t>(fatSectors.size()));
    putU32(h, firstDirSector);
    putU32(h, 0);                // transaction signature
    putU32(h, static_cast<std::uint32_t>(kMiniStreamCutoff));
    putU32(h, miniFatSectors ? firstMiniFatSector : ENDOFCHAIN);
    putU32(h, miniFatSectors);
    putU32(h, firstDifatSector);
    putU32(h, difatSectors);
    h += encodeSectorNumbers(fatSectors, kHeaderDifatEntries);
    return h;
}

}  // namespace store::cfb

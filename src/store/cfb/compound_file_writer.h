#pragma once
// Writes a compound file (MS-CFB version 3, 512-byte sectors) front to back. Streams of 4096 bytes and
// more go to disk sector by sector as they are written; smaller ones go to the mini stream, which is
// written out sector by sector as it fills. Only the allocation tables and the directory stay in
// memory until finish() writes them and the header. One stream is open at a time.
//
//   CompoundFileWriter cf;
//   cf.open(path);
//   EntryId box = *cf.addStorage(kRootEntry, u"box");
//   cf.addStream(box, u"small", bytes);
//   cf.beginStream(kRootEntry, u"big"); cf.append(chunk1); cf.append(chunk2); cf.endStream();
//   cf.finish();
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/cfb/directory.h"
#include "store/cfb/output_file.h"

namespace store::cfb {

class CompoundFileWriter {
public:
    CompoundFileWriter() = default;
    CompoundFileWriter(const CompoundFileWriter&) = delete;
    CompoundFileWriter& operator=(const CompoundFileWriter&) = delete;
    ~CompoundFileWriter();  // an unfinished file is deleted

    bool open(const std::u16string& path);

    std::optional<EntryId> addStorage(EntryId parent, std::u16string_view name);
    bool setClsid(EntryId entry, const std::array<std::uint8_t, 16>& clsid);

    // A whole stream at once.
    bool addStream(EntryId parent, std::u16string_view name, std::string_view data);
    // A stream written in pieces.
    bool beginStream(EntryId parent, std::u16string_view name);
    bool append(std::string_view data);
    bool endStream();

    // Writes the mini stream's last sector, the mini FAT, the directory, the FAT, the DIFAT and the
    // header, and closes the file. True when the whole file was written.
    bool finish();

    // Why the last call failed (empty when nothing failed).
    const std::string& error() const { return error_; }

private:
    bool fail(std::string message);
    std::uint32_t allocateSector();
    void writeSector(std::string_view bytes);  // appends one sector (padded to 512 bytes)
    void flushFullSectors();
    void addToMiniStream(DirEntry& entry, std::string_view data);
    std::uint32_t writeChain(const std::string& bytes);  // whole sectors chained in the FAT; first sector
    std::string header(std::uint32_t firstDirSector, std::uint32_t firstMiniFatSector,
                       std::uint32_t miniFatSectors, std::uint32_t firstDifatSector, std::uint32_t difatSectors,
                       const std::vector<std::uint32_t>& fatSectors) const;

    OutputFile out_;
    Directory dir_;
    std::vector<std::uint32_t> fat_;      // one entry per sector written
    std::vector<std::uint32_t> miniFat_;  // one entry per mini sector
    std::string miniTail_;                // mini stream bytes not yet filling a sector
    std::uint32_t miniStreamFirst_ = ENDOFCHAIN;
    std::uint32_t miniStreamLast_ = ENDOFCHAIN;

    // The open stream.
    std::optional<EntryId> openStream_;
    std::string pending_;                 // bytes not yet written as a sector (or all of a small stream)
    std::uint32_t lastSector_ = ENDOFCHAIN;

    bool finished_ = false;
    std::string error_;
};

}  // namespace store::cfb

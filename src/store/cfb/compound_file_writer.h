#pragma once
// Writes a compound file (MS-CFB version 3, 512-byte sectors) front to back. Streams of 4096 bytes and
// more go to disk sector by sector as they are written; smaller ones go to the mini stream, which is
// written out sector by sector as it fills. The directory entries of a closed storage's children are
// written as their sectors fill; the allocation tables and the entries of storages still open stay in
// memory until finish() writes them and the header. One stream is open at a time.
//
//   CompoundFileWriter cf;
//   cf.open(path);
//   EntryId box = *cf.addStorage(kRootEntry, u"box");
//   cf.addStream(box, u"small", bytes);
//   cf.closeStorage(box);  // optional: nothing more goes into box
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
#include "store/result.h"
#include "store/stop_request.h"

namespace store::cfb {

class CompoundFileWriter {
public:
    CompoundFileWriter() = default;
    CompoundFileWriter(const CompoundFileWriter&) = delete;
    CompoundFileWriter& operator=(const CompoundFileWriter&) = delete;
    ~CompoundFileWriter();  // an unfinished file is deleted

    bool open(const std::u16string& path);
    // Builds the file in memory instead; takeBytes() gives it once finish() succeeded. expectedSize:
    // room made at once (an estimate; the buffer grows past it as needed).
    void openInMemory(std::size_t expectedSize = 0);
    std::string takeBytes() { return out_.takeBytes(); }

    std::optional<EntryId> addStorage(EntryId parent, std::u16string_view name);
    bool setClsid(EntryId entry, const std::array<std::uint8_t, 16>& clsid);
    // Ends a storage (and the storages below it): nothing more can be added to it, and the directory
    // entries of its contents go to the file. No stream may be open.
    bool closeStorage(EntryId storage);

    // Polled before every storage and stream is added; when it answers true, the call fails with
    // the reason "stopped" and the file is not finished.
    void setStopRequest(StopRequest stopRequest) { stopRequest_ = std::move(stopRequest); }

    // A whole stream at once.
    bool addStream(EntryId parent, std::u16string_view name, std::string_view data);
    // A stream written in pieces.
    bool beginStream(EntryId parent, std::u16string_view name);
    bool append(std::string_view data);
    bool endStream();

    // Writes the mini stream's last sector, the mini FAT, the directory, the FAT, the DIFAT and the
    // header, and closes the file. True when the whole file was written.
    bool finish();

    // Why the last call failed (empty when nothing failed); the code is errno when the system failed.
    const Failure& failure() const { return failure_; }

private:
    bool fail(std::string message);
    // A failure of the file itself: the message with the system's reason.
    bool failWriting(const std::string& what);
    std::uint32_t allocateSector();
    // Writes one sector at the end of a chain, linking it in (first and last are ENDOFCHAIN while it is
    // empty).
    void appendSector(std::uint32_t& first, std::uint32_t& last, std::string_view bytes);
    void writeSector(std::string_view bytes);  // appends one sector (padded to 512 bytes)
    void flushFullSectors();
    void addToMiniStream(DirEntry& entry, std::string_view data);
    std::uint32_t writeChain(const std::string& bytes);  // whole sectors chained in the FAT; first sector
    bool stopped();
    void takeEntry(std::uint32_t number, std::string_view entry);
    void writeDirectorySector(std::string_view bytes);
    std::uint32_t finishDirectory();  // the first directory sector
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

    // Directory sectors: the first (holding the root entry, numbered last) stays until finish().
    std::string dirPending_;
    std::string dirHead_;
    bool dirHeadFilled_ = false;
    std::uint32_t dirFirstWritten_ = ENDOFCHAIN;
    std::uint32_t dirLastWritten_ = ENDOFCHAIN;

    StopRequest stopRequest_;
    bool finished_ = false;
    Failure failure_;
};

}  // namespace store::cfb

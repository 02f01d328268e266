#pragma once
// Constants of the compound file format (MS-CFB) as written here: version 3, 512-byte sectors, 64-byte
// mini sectors, streams below 4096 bytes in the mini stream.
#include <cstddef>
#include <cstdint>

namespace store::cfb {

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kMiniSectorSize = 64;
inline constexpr std::uint64_t kMiniStreamCutoff = 4096;
inline constexpr std::size_t kDirEntrySize = 128;
inline constexpr std::size_t kEntriesPerSector = kSectorSize / 4;   // FAT, mini FAT: 128 sector numbers
inline constexpr std::size_t kHeaderDifatEntries = 109;
inline constexpr std::size_t kDifatEntriesPerSector = kEntriesPerSector - 1;  // the last one links on
// Largest stream a version 3 file can describe.
inline constexpr std::uint64_t kMaxStreamSize = 0x80000000ULL;

// Special sector numbers.
inline constexpr std::uint32_t MAXREGSECT = 0xFFFFFFFA;
inline constexpr std::uint32_t DIFSECT = 0xFFFFFFFC;
inline constexpr std::uint32_t FATSECT = 0xFFFFFFFD;
inline constexpr std::uint32_t ENDOFCHAIN = 0xFFFFFFFE;
inline constexpr std::uint32_t FREESECT = 0xFFFFFFFF;
inline constexpr std::uint32_t NOSTREAM = 0xFFFFFFFF;

enum class EntryType : std::uint8_t { Unused = 0, Storage = 1, Stream = 2, Root = 5 };
enum class Color : std::uint8_t { Red = 0, Black = 1 };

// How many FAT and DIFAT sectors a file needs when everything else takes `otherSectors` sectors: the
// FAT must also number its own sectors and the DIFAT sectors.
struct FatLayout {
    std::uint64_t fatSectors = 0;
    std::uint64_t difatSectors = 0;
};

constexpr FatLayout fatLayoutFor(std::uint64_t otherSectors) {
    FatLayout layout;
    for (;;) {
        const std::uint64_t total = otherSectors + layout.fatSectors + layout.difatSectors;
        const std::uint64_t fat = (total + kEntriesPerSector - 1) / kEntriesPerSector;
        const std::uint64_t difat = fat > kHeaderDifatEntries
            ? (fat - kHeaderDifatEntries + kDifatEntriesPerSector - 1) / kDifatEntriesPerSector : 0;
        if (fat == layout.fatSectors && difat == layout.difatSectors) return layout;
        layout = {fat, difat};
    }
}

}  // namespace store::cfb

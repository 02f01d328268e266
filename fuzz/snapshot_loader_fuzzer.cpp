// Reads arbitrary bytes as a snapshot file, record by record, as the load does. Checks: no fault, no
// allocation beyond what the file can hold, and every record that reads as whole fits in the file.
#include "fuzz_check.h"
#include "memory_file.h"
#include "snapshot/snapshot_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::MemoryFile file(data, size);
    snapshot::CSnapshotReader reader;
    fuzz::check(reader.open(file.path()), "open the memory file");
    const std::optional<std::uint32_t> count = reader.readCount();
    fuzz::check(count.has_value() == (size >= 4), "a count is read exactly when four bytes are there");
    std::uint64_t used = 4;
    for (std::uint32_t i = 0; count && i < *count; ++i) {
        snapshot::SnapshotRecord record;
        if (reader.next(record) != snapshot::CSnapshotReader::Status::Ok) break;
        used += 4 + 2 * record.path.size() + 2 + 8 + 8 * record.offsets.size();
        fuzz::check(used <= size, "a whole record lies inside the file");
    }
    return 0;
}

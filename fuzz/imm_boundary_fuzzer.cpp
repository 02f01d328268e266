// Splits arbitrary bytes as an .imm mailbox with both reading methods. Checks: no fault, both methods
// give the same offsets, which are those of the literal reference definition, start with 0, end with
// the size and never lie beyond it.
#include "fuzz_check.h"
#include "memory_file.h"
#include "scan/mbox_file.h"
#include "scan/reference_scanner.h"

namespace {

std::vector<std::uint64_t> scanWith(const fuzz::MemoryFile& file, scan::ScanPath method) {
    scan::CMboxFile mbox;
    fuzz::check(mbox.file.open(file.path()), "open the memory file");
    mbox.scanMimeVersion(file.path(), method);
    return mbox.messageOffsets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::MemoryFile file(data, size);
    const std::vector<std::uint64_t> windowed = scanWith(file, scan::ScanPath::Windowed);
    const std::vector<std::uint64_t> fallback = scanWith(file, scan::ScanPath::Fallback);
    fuzz::check(windowed == fallback, "both reading methods agree");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::check(windowed == reference::mimeVersionOffsets(bytes), "offsets as the reference defines them");
    fuzz::check(!windowed.empty() && windowed.back() == size, "the list ends with the size");
    for (std::uint64_t offset : windowed) fuzz::check(offset <= size, "no offset beyond the file");
    return 0;
}

#pragma once
// Runs a scanner over bytes written to a scratch file.
#include <string>
#include <vector>

#include "platform/paths.h"
#include "scan/mbox_file.h"
#include "support/test_support.h"

namespace scan_fixture {

struct Result {
    std::vector<std::uint64_t> offsets;
    std::vector<std::int64_t> positions;  // UM_PROGRESS_POS values in order
    bool rangeFirst = false;              // UM_PROGRESS_RANGE (0, 1000) came first
};

inline Result scanBytes(const std::string& bytes, bool imm, scan::ScanPath path) {
    testing_support::TempDir dir;
    auto file = dir / (imm ? "box.imm" : "box.mbox");
    testing_support::writeFile(file, bytes);
    std::u16string widePath = platform::fromNativePath(file.string());
    testing_support::RecordingTarget target;
    scan::CMboxFile mbox;
    mbox.notifyWindow = &target;
    if (!mbox.file.open(widePath)) return {};
    if (imm)
        mbox.scanMimeVersion(widePath, path);
    else
        mbox.scanFromLines(path);
    Result result;
    result.offsets = mbox.messageOffsets;
    for (const auto& m : target.messages)
        if (m.message == platform::UM_PROGRESS_POS) result.positions.push_back(static_cast<std::int32_t>(m.wParam));
    result.rangeFirst = !target.messages.empty() && target.messages[0].message == platform::UM_PROGRESS_RANGE &&
                        target.messages[0].wParam == 0 && target.messages[0].lParam == 1000;
    return result;
}

}  // namespace scan_fixture

#pragma once
// What one export run shares between its writers: the frame it reports to, the library session of
// the library modes, and the count of messages that could not be saved.
#include <atomic>
#include <memory>
#include <string>

#include "scan/frame_context.h"
#include "store/library/library_interface.h"

namespace exporter {

inline constexpr char16_t kSavingStarted[] = u"Saving process started.";
inline constexpr char16_t kSavingCompletedIn[] = u"Saving process completed, destination folder path is: ";
inline constexpr char16_t kSavingPrefix[] = u"Saving: ";
inline constexpr char16_t kFailedPrefix[] = u"Failed to save: ";
inline constexpr char16_t kFileSelected[] = u" file selected for saving email items.";

struct ExportRun {
    scan::FrameContext& frame;
    std::shared_ptr<library::Session> pstSession;  // the library modes only
    std::u16string attachLogonText;
    int failures = 0;

    void log(const std::u16string& line) { frame.logStatus(line); }
    // A message that could not be written: logged, counted, its number kept.
    void failed(const std::u16string& what) {
        ++failures;
        log(kFailedPrefix + what);
    }
    bool running() const { return scan::g_busy.load() != 0; }
    void progressRange(int count) { frame.setProgressRange(0, count); }
    void progressPosition(int position) { frame.setProgressPosition(position); }
};

// Decimal text of a number, for paths and log lines.
std::u16string decimal(long long value);

}  // namespace exporter

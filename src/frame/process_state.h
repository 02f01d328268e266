#pragma once
// Process-wide state shared by the controller, its dialogs and the jobs, and the texts that go with it.
#include <atomic>
#include <string>
#include <vector>

namespace frame {

inline std::atomic<int> g_busy{0};        // 1 while a job runs or a command that starts one is in progress
inline std::atomic<bool> g_stopRequested{false};  // Stop confirmed: the job ends after its current item
inline std::u16string g_currentMboxPath;  // path of the current mailbox
inline std::vector<std::u16string>
    g_selectedFiles;                              // chosen in the file selection dialog, consumed by the scan
inline std::u16string g_logFilePath;              // the activity log file
inline std::atomic<bool> g_logFileFailed{false};  // it could not be created, or a line could not be written

inline constexpr char16_t kLogFilePathIs[] = u"Log file path is : ";
inline constexpr char16_t kLogFileNotWritten[] = u"The log file could not be written: ";
inline constexpr char16_t kLogLinesShownOnly[] =
    u". The log lines were shown only in the program's activity log.";

// The closing line about the log file: its path, or that it could not be written and where the lines went.
inline std::u16string logFileLine() {
    if (g_logFileFailed) return kLogFileNotWritten + g_logFilePath + kLogLinesShownOnly;
    return kLogFilePathIs + g_logFilePath;
}

inline constexpr char16_t kBusyRefusal[] = u"Please stop the running process to continue the process.";

}  // namespace frame

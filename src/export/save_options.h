#pragma once
// The export options: what the last confirmed "Save output" dialog chose. Written only by the
// dialog's OK handler; read by the export job and the writers.
#include <atomic>
#include <string>

namespace exporter {

enum SaveMode : int {
    SaveNone = 0,
    SaveSeparatePst = 1,
    SaveSinglePst = 2,
    SaveEml = 3,
    SaveMsg = 4,
    SaveRtf = 5,
    SaveHtml = 6,
};

inline std::atomic<int> g_saveMode{SaveNone};
inline std::atomic<int> g_saveInHierarchy{0};
inline std::atomic<int> g_attachToOutlook{0};
inline std::u16string g_destinationFolder;  // ends with a separator after OK
// Threads that read and convert messages while one writer commits them in order; 0: the count in the
// environment variable KELVA_EXPORT_THREADS when set, else one per core.
inline std::atomic<int> g_exportThreads{0};

// The number of worker threads g_exportThreads asks for.
int exportThreadCount();

// Options beyond the dialog's first ones: Gmail labels as folders (0 off, 1 every label, 2 the first
// only), the read, replied and flagged state kept from the mailbox, escaped ">From " lines unescaped by
// one level, and the root the hierarchy is taken relative to (empty: the file system root).
inline std::atomic<int> g_labelFolders{0};
inline std::atomic<int> g_keepMessageState{0};
inline std::atomic<int> g_unescapeFrom{0};
inline std::u16string g_hierarchyRoot;

}  // namespace exporter

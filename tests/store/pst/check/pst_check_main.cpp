// pst_check FILE.pst...: the structural check of each file; exit status 1 when any has an error.
#include <chrono>
#include <cstdio>

#include "pst_check.h"

int main(int argc, char** argv) {
    int status = argc > 1 ? 0 : 2;
    for (int i = 1; i < argc; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pst_check::Report report = pst_check::checkFile(argv[i]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %s, %zu nodes, %zu blocks, %zu heaps, %zu tables, %zu rows, %.1f s\n%s", argv[i],
                    report.ok() ? "no error" : "ERRORS", report.nodes, report.blocks, report.heaps, report.tables,
                    report.rows, seconds, report.summary(50).c_str());
        if (!report.ok()) status = 1;
    }
    return status;
}

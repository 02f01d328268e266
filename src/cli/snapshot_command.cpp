#include "cli/snapshot_command.h"

namespace cli {

int runSnapshotSave(const SnapshotSaveRequest& request, const GlobalOptions& options, std::ostream& out,
                    std::ostream& err) {
    CliSession session(options, out, err);
    if (!session.start()) return 1;
    session.fillCatalogue(request.files);
    std::string written;
    if (session.frame().catalogue.empty()) {
        err << "mbox2pst: no mailbox to save in a snapshot\n";
        session.markFailed();
    } else if (session.saveSnapshot(request.target, written)) {
        out << "Snapshot file: " << written << '\n';
    } else {
        err << "mbox2pst: cannot write the snapshot " << written << '\n';
    }
    session.close();
    return session.failed() ? 1 : 0;
}

}  // namespace cli

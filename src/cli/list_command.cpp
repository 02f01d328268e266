#include "cli/list_command.h"

#include <nlohmann/json.hpp>

#include "platform/codepage.h"

namespace cli {
namespace {

std::string utf8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

// A cell of the text form: control characters (folded header lines, tabs) become blanks.
std::string cell(const std::u16string& text) {
    std::string out = utf8(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

std::string jsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

int runList(const ListRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    CliSession session(options, request.json ? err : out, err);
    if (!session.start()) return 1;
    session.fillCatalogue({request.file});
    int row = session.findRow(request.file);
    if (row < 0) {
        if (!options.snapshot.empty()) err << "mbox2pst: " << request.file << " is not in the snapshot\n";
        session.markFailed();
        session.close();
        return 1;
    }
    std::string path = utf8(platform::visibleText(session.frame().catalogue[static_cast<std::size_t>(row)].path));
    bool first = true;
    if (request.json) out << "{\"path\": " << jsonText(path) << ", \"rows\": [";
    bool listed = session.list(row, [&](int, const frame::ListRow& r) {
        if (request.json) {
            nlohmann::json object = {{"index", r.data},          {"to", utf8(r.to)},
                                     {"from", utf8(r.from)},     {"subject", utf8(r.subject)},
                                     {"date", utf8(r.date)},     {"hasAttachments", r.attachmentImage >= 0}};
            out << (first ? "\n  " : ",\n  ") << jsonText(object);
        } else {
            out << r.data << '\t' << cell(r.to) << '\t' << cell(r.from) << '\t' << cell(r.subject) << '\t'
                << cell(r.date) << '\t' << (r.attachmentImage >= 0 ? "attachments" : "") << '\n';
        }
        first = false;
    });
    if (request.json) out << (first ? "" : "\n") << "]}\n";
    out.flush();
    if (!listed) err << "mbox2pst: " << path << " could not be listed\n";
    session.close();
    return session.failed() ? 1 : 0;
}

}  // namespace cli

#include "store/session/profile_list.h"

#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "store/session/store_backend.h"

namespace store::session {
namespace {

// Tabs and line breaks cannot stand in a list entry.
std::string field(const std::u16string& text) {
    std::string out = platform::utf16ToUtf8(text);
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

}  // namespace

std::u16string ProfileList::defaultPath() {
    return platform::joinPath(platform::joinPath(platform::configFolder(), u"KelvaTools"), u"pst-profile.list");
}

std::vector<ProfileEntry> ProfileList::entries() const {
    std::vector<ProfileEntry> out;
    std::ifstream in(platform::nativePath(file_), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t tab = line.find('\t');
        if (line.empty()) continue;
        out.push_back({platform::utf8ToUtf16(line.substr(0, tab)),
                       tab == std::string::npos ? std::u16string() : platform::utf8ToUtf16(line.substr(tab + 1))});
    }
    return out;
}

void ProfileList::add(const std::u16string& path, const std::u16string& displayName) const {
    for (const ProfileEntry& e : entries()) {
        if (e.path == path) return;
    }
    if (!platform::createFolders(platform::folderOf(file_))) throw StoreError("cannot create the profile folder");
    std::ofstream out(platform::nativePath(file_), std::ios::binary | std::ios::app);
    out << field(path) << '\t' << field(displayName) << '\n';
    out.flush();
    if (!out) throw StoreError("cannot write the profile list");
}

}  // namespace store::session

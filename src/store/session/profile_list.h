#pragma once
// The engine's profile: the list of PST files added to it ("the PST in the Outlook profile"), one
// "path<TAB>display name" line per file in UTF-8, in the settings folder.
#include <string>
#include <vector>

namespace store::session {

struct ProfileEntry {
    std::u16string path;
    std::u16string displayName;
};

class ProfileList {
public:
    // $XDG_CONFIG_HOME/KelvaTools/pst-profile.list
    static std::u16string defaultPath();

    explicit ProfileList(std::u16string file) : file_(std::move(file)) {}

    // Adds the store unless its path is listed already; throws StoreError when the list cannot be written.
    void add(const std::u16string& path, const std::u16string& displayName) const;
    // The listed stores; empty when there is no list.
    std::vector<ProfileEntry> entries() const;

private:
    std::u16string file_;
};

}  // namespace store::session

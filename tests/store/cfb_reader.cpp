#include "cfb_reader.h"

#include <functional>
#include <set>

#include "store/cfb/directory.h"
#include "store/little_endian.h"
#include "support/test_support.h"

namespace store_test {

namespace {

using store::loadU16;
using store::loadU32;
using store::loadU64;

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

struct Entry {
    std::u16string name;
    int type = 0;
    int color = 0;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
};

class Reader {
public:
    Reader(std::string bytes, CfbContents& out) : file_(std::move(bytes)), out_(out) {}

    bool read(std::string& error) {
        if (!check(file_.size() >= 512 && file_.size() % 512 == 0, "file size is not whole sectors")) return report(error);
        if (!check(file_.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") == 0, "bad signature")) return report(error);
        const char* h = file_.data();
        if (!check(loadU16(h + 26) == 3 && loadU16(h + 28) == 0xFFFE && loadU16(h + 30) == 9 && loadU16(h + 32) == 6,
                   "not a version 3 file with 512-byte sectors"))
            return report(error);
        if (!check(loadU32(h + 56) == 4096, "mini stream cutoff is not 4096")) return report(error);
        sectorCount_ = static_cast<std::uint32_t>(file_.size() / 512 - 1);
        used_.assign(sectorCount_, false);
        out_.fatSectors = loadU32(h + 44);
        out_.miniFatSectors = loadU32(h + 64);
        out_.difatSectors = loadU32(h + 72);
        if (!readFat(h) || !readDirectory(loadU32(h + 48)) || !readMiniFat(loadU32(h + 60)) || !walk()) return report(error);
        return report(error);
    }

private:
    bool check(bool condition, const std::string& what) {
        if (!condition && error_.empty()) error_ = what;
        return condition;
    }
    bool report(std::string& error) {
        error = error_;
        return error_.empty();
    }
    const char* sector(std::uint32_t s) const { return file_.data() + (static_cast<std::size_t>(s) + 1) * 512; }
    bool claim(std::uint32_t s, const char* what) {
        if (!check(s < sectorCount_, std::string(what) + ": sector beyond the file")) return false;
        if (!check(!used_[s], std::string(what) + ": sector used twice")) return false;
        used_[s] = true;
        return true;
    }

    bool readFat(const char* h) {
        std::vector<std::uint32_t> fatSectors;
        for (int i = 0; i < 109; ++i) {
            const std::uint32_t s = loadU32(h + 76 + 4 * i);
            if (s != kFree) fatSectors.push_back(s);
        }
        std::uint32_t difat = loadU32(h + 68);
        std::vector<std::uint32_t> difatSectors;
        for (std::uint32_t n = 0; n < out_.difatSectors; ++n) {
            if (!claim(difat, "DIFAT")) return false;
            difatSectors.push_back(difat);
            const char* d = sector(difat);
            for (int i = 0; i < 127; ++i) {
                const std::uint32_t s = loadU32(d + 4 * i);
                if (s != kFree) fatSectors.push_back(s);
            }
            difat = loadU32(d + 508);
        }
        if (!check(out_.difatSectors == 0 || difat == kEnd, "DIFAT chain does not end")) return false;
        if (!check(fatSectors.size() == out_.fatSectors, "FAT sector count differs from the DIFAT")) return false;
        for (std::uint32_t s : fatSectors) {
            if (!claim(s, "FAT")) return false;
            for (int i = 0; i < 128; ++i) fat_.push_back(loadU32(sector(s) + 4 * i));
        }
        if (!check(fat_.size() >= sectorCount_, "FAT does not cover the file")) return false;
        for (std::uint32_t s : fatSectors) {
            if (!check(fat_[s] == kFatSect, "FAT sector not marked FATSECT")) return false;
        }
        for (std::uint32_t s : difatSectors) {
            if (!check(fat_[s] == kDifSect, "DIFAT sector not marked DIFSECT")) return false;
        }
        return true;
    }

    bool chain(std::uint32_t start, std::vector<std::uint32_t>& sectors, const char* what) {
        for (std::uint32_t s = start; s != kEnd;) {
            if (!claim(s, what)) return false;
            sectors.push_back(s);
            s = fat_[s];
        }
        return true;
    }

    std::string readChain(const std::vector<std::uint32_t>& sectors) const {
        std::string data;
        for (std::uint32_t s : sectors) data.append(sector(s), 512);
        return data;
    }

    bool readDirectory(std::uint32_t start) {
        std::vector<std::uint32_t> sectors;
        if (!chain(start, sectors, "directory")) return false;
        const std::string dir = readChain(sectors);
        for (std::size_t off = 0; off + 128 <= dir.size(); off += 128) {
            const char* e = dir.data() + off;
            Entry entry;
            const std::uint16_t nameBytes = loadU16(e + 64);
            entry.type = static_cast<unsigned char>(e[66]);
            if (entry.type != 0 && !check(nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0, "bad name length"))
                return false;
            for (int i = 0; i + 2 < nameBytes; i += 2) entry.name.push_back(static_cast<char16_t>(loadU16(e + i)));
            entry.color = static_cast<unsigned char>(e[67]);
            entry.left = loadU32(e + 68);
            entry.right = loadU32(e + 72);
            entry.child = loadU32(e + 76);
            entry.start = loadU32(e + 116);
            entry.size = loadU64(e + 120);
            entries_.push_back(entry);
        }
        return check(!entries_.empty() && entries_[0].type == 5, "first entry is not the root");
    }

    bool readMiniFat(std::uint32_t start) {
        std::vector<std::uint32_t> sectors;
        if (out_.miniFatSectors == 0) return check(start == kEnd, "no mini FAT but a start sector");
        if (!chain(start, sectors, "mini FAT")) return false;
        if (!check(sectors.size() == out_.miniFatSectors, "mini FAT length differs from the header")) return false;
        const std::string bytes = readChain(sectors);
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) miniFat_.push_back(loadU32(bytes.data() + i));
        std::vector<std::uint32_t> ministream;
        if (!chain(entries_[0].start, ministream, "mini stream")) return false;
        miniStream_ = readChain(ministream);
        return check(miniStream_.size() >= entries_[0].size, "mini stream shorter than the root says");
    }

    std::string streamData(const Entry& e) {
        if (e.size == 0) {
            check(e.start == kEnd || e.start == 0, "empty stream with a start sector");
            return {};
        }
        std::string data;
        if (e.size < 4096) {
            std::set<std::uint32_t> seen;
            for (std::uint32_t m = e.start; m != kEnd; m = miniFat_[m]) {
                if (!check(m < miniFat_.size() && (m + 1) * 64 <= entries_[0].size, "mini chain beyond the mini stream") ||
                    !check(seen.insert(m).second && miniUsed_.insert(m).second, "mini sector used twice"))
                    return {};
                data.append(miniStream_, m * 64, 64);
            }
            check(data.size() == (e.size + 63) / 64 * 64, "mini chain length differs from the size");
        } else {
            std::vector<std::uint32_t> sectors;
            if (!chain(e.start, sectors, "stream")) return {};
            data = readChain(sectors);
            check(data.size() == (e.size + 511) / 512 * 512, "chain length differs from the size");
        }
        data.resize(std::min<std::size_t>(data.size(), e.size));
        return data;
    }

    // In-order walk of one storage's tree: names ascending, no red node with a red child, the same
    // number of black nodes on every path, the top node black.
    bool tree(std::uint32_t node, std::vector<std::uint32_t>& order, int& blackHeight, int depth = 0) {
        if (node == kNoStream) {
            blackHeight = 0;
            return true;
        }
        if (!check(node < entries_.size() && depth < 64, "tree link out of range")) return false;
        const Entry& e = entries_[node];
        int lh = 0, rh = 0;
        if (!tree(e.left, order, lh, depth + 1)) return false;
        order.push_back(node);
        if (!tree(e.right, order, rh, depth + 1)) return false;
        if (!check(lh == rh, "red-black tree: black heights differ")) return false;
        if (e.color == 0) {
            for (std::uint32_t c : {e.left, e.right}) {
                if (!check(c == kNoStream || entries_[c].color == 1, "red-black tree: red node with red child")) return false;
            }
        }
        blackHeight = lh + (e.color == 1 ? 1 : 0);
        return true;
    }

    bool walkStorage(std::uint32_t id, const std::u16string& path) {
        std::vector<std::uint32_t> order;
        int bh = 0;
        const std::uint32_t top = entries_[id].child;
        if (top != kNoStream && !check(entries_[top].color == 1, "red-black tree: top node not black")) return false;
        if (!tree(top, order, bh)) return false;
        for (std::size_t i = 1; i < order.size(); ++i) {
            if (!check(store::cfb::compareNames(entries_[order[i - 1]].name, entries_[order[i]].name) < 0,
                       "siblings out of order"))
                return false;
        }
        for (std::uint32_t c : order) {
            if (!check(visited_.insert(c).second, "entry reached twice")) return false;
            const Entry& e = entries_[c];
            const std::u16string p = path.empty() ? e.name : path + u"/" + e.name;
            if (e.type == 1) {
                out_.storages.push_back(p);
                if (!walkStorage(c, p)) return false;
            } else if (e.type == 2) {
                out_.streams[p] = streamData(e);
                if (!error_.empty()) return false;
            } else {
                return check(false, "tree holds an entry that is neither storage nor stream");
            }
        }
        return true;
    }

    bool walk() {
        visited_.insert(0);
        if (!walkStorage(0, u"")) return false;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].type != 0 && !check(visited_.count(static_cast<std::uint32_t>(i)) == 1, "unreachable entry"))
                return false;
        }
        for (std::uint32_t s = 0; s < sectorCount_; ++s) {
            if (!check(used_[s] || fat_[s] == kFree, "sector neither used nor free")) return false;
        }
        return true;
    }

    std::string file_;
    CfbContents& out_;
    std::string error_;
    std::uint32_t sectorCount_ = 0;
    std::vector<bool> used_;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::string miniStream_;
    std::set<std::uint32_t> miniUsed_;
    std::vector<Entry> entries_;
    std::set<std::uint32_t> visited_;
};

}  // namespace

bool readCompoundFile(const std::filesystem::path& path, CfbContents& out, std::string& error) {
    out = {};
    Reader reader(testing_support::readFile(path), out);
    return reader.read(error);
}

}  // namespace store_test

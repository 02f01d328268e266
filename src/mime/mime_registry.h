#pragma once
// The registry mechanism shared by the transfer codecs, the field codecs and the media types: an
// ordered list of (name, factory) entries. Adding removes every entry of the same name (ASCII case
// folded) and, when a factory is given, puts the new entry at the front; lookup walks from the front.
// Registries are filled before threads start and read without a lock afterwards.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mime/text_util.h"

namespace mime {

template <typename Factory>
class CMimeRegistry {
public:
    CMimeRegistry(std::initializer_list<std::pair<const char*, Factory>> entries) {
        for (const auto& [name, factory] : entries) Add(name, factory);
    }

    void Add(std::string_view name, Factory factory) {
        std::erase_if(entries_, [&](const Entry& e) { return EqualsNoCase(e.name, name); });
        if (factory) entries_.insert(entries_.begin(), Entry{std::string(name), factory});
    }

    // The factory registered under the name, or null.
    Factory Find(std::string_view name) const {
        for (const Entry& e : entries_)
            if (EqualsNoCase(e.name, name)) return e.factory;
        return nullptr;
    }

    bool Empty() const { return entries_.empty(); }

private:
    struct Entry {
        std::string name;
        Factory factory;
    };
    std::vector<Entry> entries_;
};

}  // namespace mime

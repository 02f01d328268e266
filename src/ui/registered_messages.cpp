#include "ui/registered_messages.h"

#include <map>
#include <mutex>
#include <string>

namespace ui {

unsigned registerWindowMessage(std::u16string_view name) {
    static std::mutex mutex;
    static std::map<std::u16string, unsigned, std::less<>> numbers;
    std::lock_guard lock(mutex);
    auto it = numbers.find(name);
    if (it != numbers.end()) return it->second;
    unsigned number = 0xC000 + static_cast<unsigned>(numbers.size());
    numbers.emplace(std::u16string(name), number);
    return number;
}

}  // namespace ui

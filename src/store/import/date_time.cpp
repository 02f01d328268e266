#include "store/import/date_time.h"

#include <array>
#include <charconv>
#include <string>
#include <vector>

namespace store::import {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

// Splits at blanks, commas and comments; "+0100" and "-0800" stay whole.
std::vector<std::string> tokens(std::string_view text) {
    std::vector<std::string> out;
    out.reserve(8);  // "Fri, 01 Mar 2024 12:34:56 +0000 (UTC)" and the like
    std::string current;
    int comment = 0;
    auto push = [&] {
        if (!current.empty()) out.push_back(current);
        current.clear();
    };
    for (char c : text) {
        if (c == '(') {
            push();
            ++comment;
            continue;
        }
        if (c == ')') {
            if (comment > 0) --comment;
            continue;
        }
        if (comment > 0) continue;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            push();
            continue;
        }
        // "12:34:56+0100" and "1-Mar-2024": a sign after digits starts a new token.
        if ((c == '+' || c == '-') && !current.empty() && isDigit(current.back()) && current.find(':') != std::string::npos) push();
        current.push_back(c);
    }
    push();
    return out;
}

char lowerByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The first three letters of the word in lower case; empty for a shorter word.
std::string_view firstThreeLowered(std::string_view word, char (&buffer)[3]) {
    if (word.size() < 3) return {};
    for (std::size_t i = 0; i < 3; ++i) buffer[i] = lowerByte(word[i]);
    return std::string_view(buffer, 3);
}

int monthOf(std::string_view word) {
    static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
    char buffer[3];
    const std::string_view w = firstThreeLowered(word, buffer);
    if (w.empty()) return 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (w == kMonths[i]) return static_cast<int>(i) + 1;
    }
    return 0;
}

bool isDayName(std::string_view word) {
    static constexpr std::array<std::string_view, 7> kDays = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    char buffer[3];
    const std::string_view w = firstThreeLowered(word, buffer);
    if (w.empty()) return false;
    for (std::string_view d : kDays) {
        if (w == d) return true;
    }
    return false;
}

// The value of a run of one to four ASCII digits.
int digitsValue(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

// Minutes east of UTC for a zone word; nothing when the word is not a zone.
std::optional<int> zoneOf(const std::string& word) {
    if ((word[0] == '+' || word[0] == '-') && word.size() >= 3) {
        std::string digits;
        for (std::size_t i = 1; i < word.size(); ++i) {
            if (isDigit(word[i])) digits.push_back(word[i]);
            else if (word[i] != ':') return std::nullopt;
        }
        if (digits.size() == 2) digits += "00";
        if (digits.size() != 4) return std::nullopt;
        const int minutes = digitsValue(std::string_view(digits).substr(0, 2)) * 60 +
                            digitsValue(std::string_view(digits).substr(2, 2));
        if (minutes >= 24 * 60) return std::nullopt;
        return word[0] == '-' ? -minutes : minutes;
    }
    const std::string w = lower(word);
    struct Named {
        const char* name;
        int hours;
    };
    static constexpr Named kNamed[] = {{"ut", 0},   {"utc", 0},  {"gmt", 0},  {"z", 0},    {"est", -5}, {"edt", -4},
                                       {"cst", -6}, {"cdt", -5}, {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7}};
    for (const Named& n : kNamed) {
        if (w == n.name) return n.hours * 60;
    }
    // Other single letters are the military zones, which RFC 5322 says to read as -0000.
    if (w.size() == 1 && isAlpha(w[0]) && w != "j") return 0;
    return std::nullopt;
}

bool parseTime(const std::string& word, int& h, int& m, int& s) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    std::string digits;
    for (char c : word) {
        if (isDigit(c)) {
            digits.push_back(c);
        } else if (c == ':' || c == '.') {
            if (digits.empty() || count >= 2) return false;
            parts[count++] = digitsValue(std::string_view(digits).substr(0, 4));
            digits.clear();
        } else {
            return false;
        }
    }
    if (digits.empty() || count < 1) return false;
    parts[count++] = digitsValue(std::string_view(digits).substr(0, 4));
    h = parts[0];
    m = parts[1];
    s = count == 3 ? parts[2] : 0;
    return h < 24 && m < 60 && s <= 60;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<std::int64_t> parseMailDate(std::string_view text) {
    int day = 0, month = 0, year = -1, hour = -1, minute = 0, second = 0;
    std::optional<int> zone;
    std::vector<std::string> numbers;
    for (const std::string& word : tokens(text)) {
        if (hour < 0 && word.find(':') != std::string::npos && isDigit(word[0])) {
            int h, m, s;
            if (parseTime(word, h, m, s)) {
                hour = h;
                minute = m;
                second = s;
                continue;
            }
        }
        if (isAlpha(word[0])) {
            if (!month) {
                if (int mo = monthOf(word)) {
                    month = mo;
                    continue;
                }
            }
            if (isDayName(word)) continue;
            if (!zone && hour >= 0) zone = zoneOf(word);
            continue;
        }
        if ((word[0] == '+' || word[0] == '-') && !zone) {
            zone = zoneOf(word);
            continue;
        }
        // "1-Mar-2024" style.
        if (isDigit(word[0]) && word.find('-') != std::string::npos && !month) {
            const std::size_t a = word.find('-');
            const std::size_t b = word.find('-', a + 1);
            if (b != std::string::npos) {
                numbers.push_back(word.substr(0, a));
                month = monthOf(std::string_view(word).substr(a + 1, b - a - 1));
                numbers.push_back(word.substr(b + 1));
                continue;
            }
        }
        bool allDigits = !word.empty();
        for (char c : word) allDigits = allDigits && isDigit(c);
        if (allDigits) numbers.push_back(word);
    }
    // Day and year among the numbers: a number above 31 or with 3+ digits is the year.
    for (const std::string& n : numbers) {
        if (n.empty() || n.size() > 6) continue;
        int v = 0;  // the parts of a "1-Mar-2024" word need not be digits
        const auto [end, error] = std::from_chars(n.data(), n.data() + n.size(), v);
        if (error != std::errc() || end != n.data() + n.size()) continue;
        if (!day && n.size() <= 2 && v >= 1 && v <= 31) {
            day = v;  // the first small number is the day
        } else if (year < 0) {
            year = n.size() <= 2 ? (v < 50 ? 2000 + v : 1900 + v) : n.size() == 3 ? 1900 + v : v;
        }
    }
    if (!day || !month || year < 0 || hour < 0) return std::nullopt;
    if (year > 9999 || day > daysInMonth(year, month)) return std::nullopt;
    const std::int64_t seconds = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                                 hour * 3600 + minute * 60 + second;
    return seconds - static_cast<std::int64_t>(zone.value_or(0)) * 60;
}

std::optional<std::int64_t> parseReceivedDate(std::string_view value) {
    const std::size_t semicolon = value.rfind(';');
    if (semicolon == std::string_view::npos) return std::nullopt;
    return parseMailDate(value.substr(semicolon + 1));
}

}  // namespace store::import

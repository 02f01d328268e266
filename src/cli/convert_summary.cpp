#include "cli/convert_summary.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "export/export_run.h"
#include "platform/codepage.h"

namespace cli {
namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string plural(long long count, const std::string& one, const std::string& many) {
    return count == 1 ? one : many;
}

std::string formatName(const std::string& format) {
    if (format == "single-pst") return "one PST";
    std::string upper = format;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace

std::string groupedNumber(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string sizeText(std::uintmax_t bytes) {
    constexpr double kKiB = 1024.0, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    const double value = static_cast<double>(bytes);
    if (bytes < 1024) return std::to_string(bytes) + plural(static_cast<long long>(bytes), " byte", " bytes");
    if (value < kMiB) return fixed(value / kKiB, 1) + " KiB";
    if (value < 100 * kMiB) return fixed(value / kMiB, 1) + " MiB";
    return fixed(value / kGiB, 2) + " GiB";
}

std::string durationText(double seconds) {
    if (seconds < 60) return fixed(seconds, 1) + " s";
    const long long whole = std::llround(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
    return text;
}

std::string summaryLine(const ConvertSummary& s) {
    std::string line = s.stopped ? "Stopped: saved " : "Saved ";
    line += groupedNumber(s.saved) + " of " + groupedNumber(s.messages) + plural(s.messages, " message", " messages");
    line += " from " + groupedNumber(s.mailboxes) + plural(s.mailboxes, " mailbox", " mailboxes");
    line += " to " + s.destination + " (" + formatName(s.format) + ", " + sizeText(s.bytes) + ")";
    line += " in " + durationText(s.seconds);
    if (s.failed > 0) line += "; " + groupedNumber(s.failed) + plural(s.failed, " message", " messages") + " failed";
    return line;
}

std::string summaryJson(const ConvertSummary& s) {
    nlohmann::json failures = nlohmann::json::array();
    for (const FailedMessage& f : s.failures) failures.push_back({{"message", f.message}, {"reason", f.reason}});
    nlohmann::ordered_json json = {
        {"format", s.format},
        {"destination", s.destination},
        {"mailboxes", s.mailboxes},
        {"messages", s.messages},
        {"saved", s.saved},
        {"failed", s.failed},
        {"stopped", s.stopped},
        {"completed", s.ran && !s.stopped},
        {"failures", failures},
        {"files", s.files},
        {"bytes", s.bytes},
        {"seconds", std::round(s.seconds * 1000) / 1000},
    };
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

FailedMessage failedMessageOf(const std::string& logLine) {
    static const std::string prefix = platform::utf16ToUtf8(exporter::kFailedPrefix);
    std::string rest = logLine.starts_with(prefix) ? logLine.substr(prefix.size()) : logLine;
    for (const char16_t* separator : {exporter::kNotSavedBecause, exporter::kAttachmentNotRead}) {
        const std::string text = platform::utf16ToUtf8(separator);
        if (std::size_t at = rest.find(text); at != std::string::npos)
            return {rest.substr(0, at), rest.substr(at + text.size())};
    }
    return {rest, {}};
}

}  // namespace cli

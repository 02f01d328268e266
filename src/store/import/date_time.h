#pragma once
// Dates of header fields (Date, and the date after the last ';' of a Received field) as seconds since
// the Unix epoch in UTC. RFC 5322 dates and the usual deviations are read: missing day name or
// comma, two- and three-digit years, month names in any case or spelled out, missing seconds, the
// obsolete zone names (UT, GMT, EST ... PDT, military letters), a missing zone (taken as UTC), the
// asctime() order ("Thu Mar  1 12:34:56 2024") and trailing comments.
#include <cstdint>
#include <optional>
#include <string_view>

namespace store::import {

std::optional<std::int64_t> parseMailDate(std::string_view text);

// The date of a Received field: the text after its last ';'.
std::optional<std::int64_t> parseReceivedDate(std::string_view value);

}  // namespace store::import

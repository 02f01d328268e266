#pragma once
// Bounds the work of an HTML5 parser on hostile markup. Tree builders search the stack of open
// elements for many tags, so markup nested tens of thousands deep costs quadratic time; tags with
// thousands of attributes do too. Like browsers, which stop nesting at a fixed depth, the markup is
// passed on with the start tags beyond a nesting depth left out (their text stays) and attributes
// beyond a number per tag cut off. The depth is estimated from the tags (end tags, elements that
// close their like, formatting elements that a parser reopens), not exactly; it is a bound on
// time, not a safety filter.
#include <string>
#include <string_view>

namespace mime {

inline constexpr std::size_t kMaxHtmlNesting = 256;
inline constexpr std::size_t kMaxHtmlAttributes = 100;

std::string limitHtmlNesting(std::string_view html);

}  // namespace mime

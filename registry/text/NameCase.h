#pragma once

#include <string>
#include <string_view>

namespace registry {

// Registry names compare as Windows compares them: each small letter of the
// Basic Multilingual Plane taken as its capital where the two make a pair
// (tools/generate_upper_case_ranges.py tells which), characters beyond that
// plane as they are.
char32_t upperCase(char32_t c);
// The UTF-8 name in upper case, appended to out: two names are the same
// registry name when these are equal. Bytes that are no UTF-8 stay as they
// are, and so do the separators.
void appendFolded(std::string &out, std::string_view name);
std::string folded(std::string_view name);

} // namespace registry

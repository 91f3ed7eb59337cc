// File-name patterns of folder listings: '*' any run, '?' one character,
// letters compared without regard to case; "NAME.*" also takes NAME
// without an extension.  A list separates patterns with ';'.
#pragma once
#include <string_view>

namespace zarov {

bool MatchPattern(std::string_view pattern, std::string_view name);
// True when any pattern of the list matches; empty items are skipped.
bool MatchPatternList(std::string_view list, std::string_view name);

} // namespace zarov

// Selecting entries by the names a caller gives: exact names first, then wildcard patterns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cv {

// Matches `name` against a pattern of "*" (any run, "/" included), "?" (one character) and
// "[...]" (one character of a set; "!" or "^" first negates, "a-z" is a range). Without
// `caseSensitive`, ASCII letters match either case.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool caseSensitive);

// Which of `entryNames` the `names` select, exact first: a name equal to some entry's name (byte
// for byte) selects exactly the entries of that name; any other name is a wildcard pattern.
// When `nameUsed` is given it receives, per name, whether it selected anything.
std::vector<bool> SelectByNames(const std::vector<std::string>& names,
                                const std::vector<std::string_view>& entryNames, bool caseSensitive,
                                std::vector<bool>* nameUsed = nullptr);

}  // namespace cv

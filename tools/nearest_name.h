// "Did you mean ...?": the known name closest to one a user mistyped.
#ifndef KESTRIN_TOOL_NEAREST_NAME_H
#define KESTRIN_TOOL_NEAREST_NAME_H

#include <string>
#include <vector>

namespace kestrin::tool {

// The candidate nearest to `given` by edit distance (a swap of two neighbouring
// letters counts as one edit), or one that `given` begins (3 letters at least:
// "--exp" for "--exponent"); "" when none is close enough to be what the user
// meant. Ties go to the earlier candidate.
std::string nearestName(const std::string& given, const std::vector<std::string>& candidates);

}  // namespace kestrin::tool

#endif

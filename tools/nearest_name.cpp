#include "nearest_name.h"

#include <algorithm>

namespace kestrin::tool {
namespace {

// Optimal string alignment distance: insertions, deletions, substitutions and
// transpositions of neighbours, each one edit.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

size_t letters(const std::string& name) { return name.size() - std::min(name.find_first_not_of('-'), name.size()); }

}  // namespace

std::string nearestName(const std::string& given, const std::vector<std::string>& candidates) {
    // A third of the name may be wrong (one letter in a short one); beyond
    // that, or for a single letter, a suggestion is a guess that misleads
    // more than it helps.
    if (letters(given) < 2) return "";
    const size_t allowed = std::max<size_t>(1, letters(given) / 3);
    std::string best;
    size_t bestDistance = allowed + 1;
    for (const std::string& candidate : candidates) {
        const size_t distance = editDistance(given, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    if (!best.empty() || letters(given) < 3) return best;
    for (const std::string& candidate : candidates) {
        if (candidate.size() > given.size() && candidate.compare(0, given.size(), given) == 0) return candidate;
    }
    return "";
}

}  // namespace kestrin::tool

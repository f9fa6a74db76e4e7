#include "files/finite_values.h"

#include <cfloat>
#include <cmath>
#include <string>

#include "files/format_error.h"
#include "files/number_text.h"

namespace kestrin::formats {

void requireFinitePoints(const Point3* points, size_t count, bool asFloat) {
    const double limit = asFloat ? FLT_MAX : DBL_MAX;
    for (size_t i = 0; i < count; ++i) {
        const double coordinates[3] = {points[i].x, points[i].y, points[i].z};
        for (double c : coordinates) {
            // Written so that a NaN fails it too.
            if (!(std::fabs(c) <= limit)) {
                throw FormatError("point " + std::to_string(i) + ": coordinate " + shortestText(c) +
                                (std::isfinite(c) ? " does not fit a float" : " is not a finite number") +
                                "; nothing written");
            }
        }
    }
}

void requireFiniteWeights(const std::vector<float>& weights) {
    for (size_t i = 0; i < weights.size(); ++i) {
        if (!std::isfinite(weights[i])) {
            throw FormatError("point " + std::to_string(i) + ": weight " + shortestText(weights[i]) +
                            " is not a finite number; nothing written");
        }
    }
}

}  // namespace kestrin::formats

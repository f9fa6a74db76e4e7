// The writers' guard: no file the tool writes holds "inf" or "nan", nor a
// float field that a large double would turn into an infinity. Each check
// runs before any byte is produced.
#ifndef KESTRIN_FORMATS_FINITE_VALUES_H
#define KESTRIN_FORMATS_FINITE_VALUES_H

#include <stddef.h>

#include <vector>

#include "kestrin_types.h"

namespace kestrin::formats {

// Throw FormatError "point N: ..." (0-based N) for the first value that is not
// a finite number, or, asFloat, does not fit a float.
void requireFinitePoints(const Point3* points, size_t count, bool asFloat);
void requireFiniteWeights(const std::vector<float>& weights);

}  // namespace kestrin::formats

#endif

// Weight maps as CSV, the form `kestrin morph --weight-map` reads back.
#ifndef KESTRIN_FORMATS_CSV_WRITER_H
#define KESTRIN_FORMATS_CSV_WRITER_H

#include <string>
#include <vector>

namespace kestrin::formats {

// "point,weight" then one row per point, in point order: the 0-based point
// index and the weight with 9 significant digits (printf's %.9g, enough to
// give the float back exactly). Throws FormatError "point N: ..." for a weight
// that is not finite.
std::string weightsCsv(const std::vector<float>& weights);

}  // namespace kestrin::formats

#endif

#include "weights/csv_writer.h"

#include "files/finite_values.h"
#include "files/number_text.h"

namespace kestrin::formats {

std::string weightsCsv(const std::vector<float>& weights) {
    requireFiniteWeights(weights);
    std::string out = "point,weight\n";
    out.reserve(out.size() + weights.size() * 24);
    for (size_t i = 0; i < weights.size(); ++i) {
        appendShortest(out, i);
        out += ',';
        appendNineDigits(out, weights[i]);
        out += '\n';
    }
    return out;
}

}  // namespace kestrin::formats

// docs/weight_curve.svg (scripts/plot-weight-curve.py): every curve has a
// colour of its own, and the legend names each curve in its colour. Two
// curves of one colour cannot be told apart where they part.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace kestrin::tool {
namespace {

std::vector<std::string> strokes(const std::string& svg, const std::string& element) {
    std::vector<std::string> colours;
    const std::regex pattern("<" + element + "[^>]* stroke=\"(#[0-9a-fA-F]{6})\"[^>]* stroke-width=\"2\"");
    for (auto match = std::sregex_iterator(svg.begin(), svg.end(), pattern); match != std::sregex_iterator(); ++match) {
        colours.push_back((*match)[1]);
    }
    return colours;
}

TEST(WeightCurveFigure, GivesEveryCurveAColourOfItsOwn) {
    const std::string svg = test::readText(KESTRIN_DOCS_DIR "/weight_curve.svg");
    const std::vector<std::string> curves = strokes(svg, "polyline");
    ASSERT_GE(curves.size(), 6u);
    EXPECT_EQ(std::set<std::string>(curves.begin(), curves.end()).size(), curves.size()) << svg;
    EXPECT_EQ(strokes(svg, "line"), curves) << "the legend, in the curves' order and colours";
}

}  // namespace
}  // namespace kestrin::tool

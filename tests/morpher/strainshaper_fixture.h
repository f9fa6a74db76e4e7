// A host with the tangent-space provider and Rimshaper loaded and linked, an
// item carrying the Strainshaper effect on a small grid, and its two target
// objects: the rest grid with a different offset at every point.
#ifndef KESTRIN_TEST_STRAINSHAPER_FIXTURE_H
#define KESTRIN_TEST_STRAINSHAPER_FIXTURE_H

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "host.h"
#include "plugins.h"

namespace kestrin::test {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// A flat grid of unit squares in the xy-plane: point y*cols + x sits at
// (x, y, 0); each square is (a, b, c, d) counter-clockwise, normal +z.
//   6 - 7 - 8
//   | 2 | 3 |
//   3 - 4 - 5
//   | 0 | 1 |
//   0 - 1 - 2      (cols = rows = 3)
std::vector<Point3> gridPoints(int cols, int rows);
std::vector<std::vector<int32_t>> gridQuads(int cols, int rows);

// Rotation by angle (radians) about a unit axis.
Matrix3 rotation(Point3 axis, double angle);
Point3 apply(const Matrix3& r, Point3 p);
Point3 add(Point3 a, Point3 b);
Point3 subtract(Point3 a, Point3 b);
Point3 scale(Point3 a, double s);
double norm(Point3 a);

// Every point mapped through f.
std::vector<Point3> mapped(const std::vector<Point3>& points,
                           const std::function<Point3(Point3)>& f);

// Element-wise comparison to a relative tolerance.
void expectPointsNear(const std::vector<Point3>& actual, const std::vector<Point3>& expected,
                      double relative = 1e-9);

class Strainshaper : public ::testing::Test {
protected:
    void SetUp() override;
    // Destroys every record still attached, as closing a scene does.
    void TearDown() override;

    // The control of that label in the panel built at set-up.
    HostHandle control(const std::string& label);
    void chooseStretch(HostHandle object);
    void chooseSquash(HostHandle object);
    void chooseWeightMap(HostHandle map);
    // Sets one of the effect's channels, as the user would.
    void setChannel(const std::string& name, double value);

    // Runs the setup pass at the rest shape.
    void setup();
    // Poses the item's mesh and runs the displacement pass; returns the
    // item's output.
    const std::vector<Point3>& displaceAt(const std::vector<Point3>& pose);

    // Texts of the calls of one function since the log was last cleared.
    std::vector<std::string> calls(const std::string& function) const;

    host::Host host;
    int module = -1;
    HostHandle item = 0;
    HostHandle stretch = 0;
    HostHandle squash = 0;
    std::vector<Point3> rest;
    std::vector<Point3> stretchTarget;
    std::vector<Point3> squashTarget;
};

// The same with both targets chosen and the rest state captured; the call log
// starts empty.
class CapturedStrainshaper : public Strainshaper {
protected:
    void SetUp() override;
};

}  // namespace kestrin::test

#endif

#include "strainshaper_fixture.h"

#include <cmath>

#include "messages.h"

namespace kestrin::test {

std::vector<Point3> gridPoints(int cols, int rows) {
    std::vector<Point3> points;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) points.push_back({double(x), double(y), 0.0});
    }
    return points;
}

std::vector<std::vector<int32_t>> gridQuads(int cols, int rows) {
    std::vector<std::vector<int32_t>> quads;
    for (int y = 0; y + 1 < rows; ++y) {
        for (int x = 0; x + 1 < cols; ++x) {
            const int32_t a = y * cols + x;
            quads.push_back({a, a + 1, a + 1 + cols, a + cols});
        }
    }
    return quads;
}

Matrix3 rotation(Point3 axis, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    const double x = axis.x, y = axis.y, z = axis.z;
    return {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
             {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
             {t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
}

Point3 apply(const Matrix3& r, Point3 p) {
    return {r[0][0] * p.x + r[0][1] * p.y + r[0][2] * p.z,
            r[1][0] * p.x + r[1][1] * p.y + r[1][2] * p.z,
            r[2][0] * p.x + r[2][1] * p.y + r[2][2] * p.z};
}

Point3 add(Point3 a, Point3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point3 subtract(Point3 a, Point3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 scale(Point3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double norm(Point3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

std::vector<Point3> mapped(const std::vector<Point3>& points,
                           const std::function<Point3(Point3)>& f) {
    std::vector<Point3> out;
    for (const Point3& p : points) out.push_back(f(p));
    return out;
}

void expectPointsNear(const std::vector<Point3>& actual, const std::vector<Point3>& expected,
                      double relative) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const double tolerance = relative * std::max(1.0, norm(expected[i]));
        EXPECT_NEAR(actual[i].x, expected[i].x, tolerance) << "point " << i;
        EXPECT_NEAR(actual[i].y, expected[i].y, tolerance) << "point " << i;
        EXPECT_NEAR(actual[i].z, expected[i].z, tolerance) << "point " << i;
    }
}

void Strainshaper::SetUp() {
    std::string error;
    ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
    module = loadPlugin(host, rimshaperPath);
    ASSERT_GE(module, 0);
    host.linkModules();

    rest = gridPoints(3, 3);
    item = host.scene.addObject("Skin", host::Mesh(rest, gridQuads(3, 3)));
    // Offsets that differ per point and in every direction.
    for (size_t i = 0; i < rest.size(); ++i) {
        const double k = double(i);
        stretchTarget.push_back(add(rest[i], {0.1 + 0.03 * k, -0.05 * k, 0.2 + 0.01 * k}));
        squashTarget.push_back(add(rest[i], {-0.02 * k, 0.15, -0.1 - 0.02 * k}));
    }
    stretch = host.scene.addObject("Stretched", host::Mesh(stretchTarget, gridQuads(3, 3)));
    squash = host.scene.addObject("Squashed", host::Mesh(squashTarget, gridQuads(3, 3)));

    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    host.send(module, item, MSG_OBJECT, OBJ_CREATE);
    host.log.clear();
}

void CapturedStrainshaper::SetUp() {
    Strainshaper::SetUp();
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    host.log.clear();
}

void Strainshaper::TearDown() {
    for (const host::SceneObject& object : host.scene.objects()) {
        if (host.typeData(module, object.id) != nullptr) {
            host.send(module, object.id, MSG_OBJECT, OBJ_DESTROY);
        }
    }
}

HostHandle Strainshaper::control(const std::string& label) {
    const host::Control* found = host.controls.find(module, label);
    EXPECT_NE(found, nullptr) << label;
    return found != nullptr ? found->id : 0;
}

void Strainshaper::chooseStretch(HostHandle object) {
    host.changeControlObject(control("Stretch object"), item, object);
}

void Strainshaper::chooseSquash(HostHandle object) {
    host.changeControlObject(control("Squash object"), item, object);
}

void Strainshaper::chooseWeightMap(HostHandle map) {
    host.changeControlObject(control("Weight"), item, map);
}

void Strainshaper::setChannel(const std::string& name, double value) {
    EXPECT_TRUE(host.channels.set(module, item, name, value)) << name;
}

void Strainshaper::setup() { host.setupEffect(module, item); }

const std::vector<Point3>& Strainshaper::displaceAt(const std::vector<Point3>& pose) {
    host.scene.object(item)->mesh.setCurrent(pose);
    host.displaceEffect(module, item);
    return host.scene.object(item)->output;
}

std::vector<std::string> Strainshaper::calls(const std::string& function) const {
    return host.log.texts(function);
}

}  // namespace kestrin::test

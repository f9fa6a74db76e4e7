#include "strainmark_fixture.h"

namespace kestrin::test {

host::Mesh gridMesh(int columns, int rows) {
    std::vector<Point3> points;
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) points.push_back({double(x), double(y), 0.0});
    }
    std::vector<std::vector<int32_t>> quads;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const int32_t a = y * (columns + 1) + x;
            quads.push_back({a, a + 1, a + columns + 2, a + columns + 1});
        }
    }
    return host::Mesh(points, quads);
}

host::Mesh cubeMesh() {
    std::vector<Point3> points;
    for (int i = 0; i < 8; ++i) {
        points.push_back({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
    }
    return host::Mesh(points, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                               {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
}

std::vector<Point3> scaledAbout(const std::vector<Point3>& points, double r, Point3 centre) {
    std::vector<Point3> out;
    for (const Point3& p : points) {
        out.push_back({centre.x + r * (p.x - centre.x), centre.y + r * (p.y - centre.y),
                       centre.z + r * (p.z - centre.z)});
    }
    return out;
}

void StrainmarkTest::TearDown() {
    for (const host::SceneObject& object : host.scene.objects()) {
        if (host.typeData(module, object.id) != nullptr) {
            host.send(module, object.id, MSG_OBJECT, OBJ_DESTROY);
        }
    }
}

HostHandle StrainmarkTest::addInstance(host::Mesh mesh, const std::string& name) {
    item = host.scene.addObject(name, std::move(mesh));
    send(MSG_OBJECT, OBJ_CREATE);
    return item;
}

void StrainmarkTest::scaleCurrent(double r, Point3 centre) {
    mesh().setCurrent(scaledAbout(mesh().base().copy(), r, centre));
}

std::vector<float> StrainmarkTest::computeWeights() {
    const HostHandle map = host.computeWeights(module, item, "Tension");
    return host.scene.weightMap(map)->values;
}

void StrainmarkTest::setToggle(const std::string& label, int32_t value) {
    if (host.controls.find(module, label) == nullptr) {
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    }
    const host::Control* control = host.controls.find(module, label);
    ASSERT_NE(control, nullptr) << label;
    host.changeControl(control->id, item, value);
}

}  // namespace kestrin::test

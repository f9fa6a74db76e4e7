// A host with Strainmark loaded and one instance on a mesh, and the small
// meshes the weight tool is measured on.
#ifndef STRAINMARK_TEST_FIXTURE_H
#define STRAINMARK_TEST_FIXTURE_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../weighttool/instance.h"
#include "host.h"
#include "messages.h"
#include "plugins.h"

namespace kestrin::test {

// A flat grid of columns x rows quads in the xy plane, spacing 1. Points go
// row by row:
//   (rows)  6--7--8
//           |  |  |
//           3--4--5
//           |  |  |
//   (0)     0--1--2     (columns = rows = 2)
host::Mesh gridMesh(int columns, int rows);

// A closed cube of six quads around the origin, side 2.
host::Mesh cubeMesh();

// The points scaled by r about centre.
std::vector<Point3> scaledAbout(const std::vector<Point3>& points, double r, Point3 centre);

class StrainmarkTest : public ::testing::Test {
protected:
    host::Host host;
    int module = -1;
    HostHandle item = 0;

    void SetUp() override { module = loadPlugin(host, strainmarkPath); }
    // Destroys every instance still attached, as the host does when the scene
    // closes, so that a leak check of the suite sees only real leaks.
    void TearDown() override;

    // Adds the mesh as an object and creates an instance on it.
    HostHandle addInstance(host::Mesh mesh, const std::string& name = "Mesh");
    int32_t send(uint32_t messageClass, uint64_t subKind, void* data = nullptr) {
        return host.send(module, item, messageClass, subKind, data);
    }
    host::Mesh& mesh() { return host.scene.object(item)->mesh; }
    // Moves every point to r times its base position about centre.
    void scaleCurrent(double r, Point3 centre = {0.0, 0.0, 0.0});
    // Fills the "Tension" weight map and returns its values.
    std::vector<float> computeWeights();
    // The instance's record as the host holds it; null when detached.
    const WeightToolInstance* record() const {
        return static_cast<const WeightToolInstance*>(host.typeData(module, item));
    }
    // Builds the panel once and acts as the user on a toggle.
    void setToggle(const std::string& label, int32_t value);
};

}  // namespace kestrin::test

#endif

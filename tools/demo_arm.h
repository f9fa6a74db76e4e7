// The demo's procedural arm: a subdivided cylinder along x with n-gon caps,
// bent at the elbow, and the two corrective shapes made for it.
#ifndef KESTRIN_TOOL_DEMO_ARM_H
#define KESTRIN_TOOL_DEMO_ARM_H

#include "mesh/mesh_data.h"

namespace kestrin::tool {

struct ArmShape {
    double length = 10.0;
    double radius = 1.0;
    int rings = 41;      // along the arm
    int segments = 24;   // around it; each cap is one polygon of this many corners
    double elbow = 5.0;  // x of the elbow's middle
    double bendLength = 2.0;  // the elbow bends over [elbow - 1, elbow + 1]
};

// The arm at rest: rings * segments points, quads between rings, two caps.
formats::MeshData makeArm(const ArmShape& shape);
// The rest arm bent upward (toward +y) at the elbow by `degrees`: the
// elbow's centre line follows a circular arc, so the outside (-y) of the
// elbow is stretched and the inside (+y) squashed.
formats::MeshData bendArm(const formats::MeshData& rest, const ArmShape& shape, double degrees);
// The squash target: flesh bulging out around the elbow.
formats::MeshData bulgeTarget(const formats::MeshData& rest, const ArmShape& shape);
// The stretch target: a narrow crease drawn in around the elbow.
formats::MeshData creaseTarget(const formats::MeshData& rest, const ArmShape& shape);

}  // namespace kestrin::tool

#endif

#include "cases.h"

#include <memory>

#include "plugin_scene.h"

namespace kestrin::bench {
namespace {

std::unique_ptr<Case> held;

MeshData build(const CaseSpec& caseSpec) {
    switch (caseSpec.kind) {
    case MeshKind::Grid:
        return quadGrid(caseSpec.size);
    case MeshKind::Sphere:
        return triangulatedSphere(caseSpec.size);
    case MeshKind::Fan:
        return fan(caseSpec.size);
    case MeshKind::Isolated:
        return gridWithIsolatedPoints(caseSpec.size, caseSpec.size);
    }
    return MeshData();
}

}  // namespace

void Case::prepareReference() {
    if (!restLengths.empty() || points() == 0) return;
    neighbours = buildNeighbours(mesh);
    restLengths.resize(points());
    meanEdgeLengths(neighbours, mesh.rest.data(), restLengths.data());
    stretchDeltas.resize(points());
    squashDeltas.resize(points());
    targetDeltas(points(), mesh.rest.data(), stretchTarget.data(), nullptr, stretchDeltas.data());
    targetDeltas(points(), mesh.rest.data(), squashTarget.data(), nullptr, squashDeltas.data());
    weights.resize(points());
    tensions.resize(points());
    positions.resize(points());
}

Case& useCase(const CaseSpec& caseSpec) {
    if (held != nullptr && held->caseSpec.label == caseSpec.label) return *held;
    dropCase();
    held = std::make_unique<Case>();
    held->caseSpec = caseSpec;
    held->mesh = build(caseSpec);
    held->stretchTarget = offsetTarget(held->mesh, {0.0, 0.0, 0.25});
    held->squashTarget = offsetTarget(held->mesh, {0.0, 0.0, -0.25});
    return *held;
}

void dropCase() {
    dropPluginScene();
    held.reset();
}

}  // namespace kestrin::bench

#include "cases.h"

#include <memory>

#include "plugin_scene.h"

namespace kestrin::bench {
namespace {

std::unique_ptr<Case> held;

MeshData build(const CaseSpec& spec) {
    switch (spec.kind) {
    case MeshKind::Grid:
        return quadGrid(spec.size);
    case MeshKind::Sphere:
        return triangulatedSphere(spec.size);
    case MeshKind::Fan:
        return fan(spec.size);
    case MeshKind::Isolated:
        return gridWithIsolatedPoints(spec.size, spec.size);
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

Case& useCase(const CaseSpec& spec) {
    if (held != nullptr && held->spec.label == spec.label) return *held;
    dropCase();
    held = std::make_unique<Case>();
    held->spec = spec;
    held->mesh = build(spec);
    held->stretchTarget = offsetTarget(held->mesh, {0.0, 0.0, 0.25});
    held->squashTarget = offsetTarget(held->mesh, {0.0, 0.0, -0.25});
    return *held;
}

void dropCase() {
    dropPluginScene();
    held.reset();
}

}  // namespace kestrin::bench

#include "scene.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestrin::host {

Mesh::Mesh(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons) {
    reset(std::move(points), polygons);
}

Mesh Mesh::packed(std::vector<Point3> points, const Polygons& polygons) {
    Mesh mesh;
    mesh.base_ = std::move(points);
    mesh.current_ = mesh.base_;
    mesh.pointCount_ = static_cast<int32_t>(mesh.base_.size());
    mesh.polygonStart_ = polygons.offsets;
    mesh.polygonVertices_ = polygons.vertices;
    mesh.buildAdjacency();
    return mesh;
}

void Mesh::reset(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons) {
    base_ = std::move(points);
    current_ = base_;
    pointCount_ = static_cast<int32_t>(base_.size());
    polygonStart_.assign(1, 0);
    polygonVertices_.clear();
    for (const auto& polygon : polygons) {
        polygonVertices_.insert(polygonVertices_.end(), polygon.begin(), polygon.end());
        polygonStart_.push_back(static_cast<int32_t>(polygonVertices_.size()));
    }
    buildAdjacency();
}

void Mesh::setCurrent(std::vector<Point3> positions) {
    if (positions.size() == base_.size()) current_ = std::move(positions);
}

void Mesh::setCurrent(const Point3* positions, size_t count) {
    if (count == base_.size()) std::copy(positions, positions + count, current_.begin());
}

void Mesh::setBase(std::vector<Point3> positions) {
    if (positions.size() != base_.size()) return;
    base_ = std::move(positions);
    current_ = base_;
}

// Counting sort by point: a polygon is listed once per point it uses (once even
// when it names the point twice), in ascending polygon order.
void Mesh::buildAdjacency() {
    const int32_t points = pointCount();
    std::vector<int32_t> counts(points + 1, 0);
    std::vector<int32_t> lastPolygon(points, -1);
    for (int32_t p = 0; p < polygonCount(); ++p) {
        for (int32_t k = polygonStart_[p]; k < polygonStart_[p + 1]; ++k) {
            const int32_t v = polygonVertices_[k];
            if (v < 0 || v >= points || lastPolygon[v] == p) continue;
            lastPolygon[v] = p;
            ++counts[v + 1];
        }
    }
    for (int32_t i = 0; i < points; ++i) counts[i + 1] += counts[i];
    pointStart_ = counts;
    pointPolygons_.assign(counts[points], 0);
    std::fill(lastPolygon.begin(), lastPolygon.end(), -1);
    for (int32_t p = 0; p < polygonCount(); ++p) {
        for (int32_t k = polygonStart_[p]; k < polygonStart_[p + 1]; ++k) {
            const int32_t v = polygonVertices_[k];
            if (v < 0 || v >= points || lastPolygon[v] == p) continue;
            lastPolygon[v] = p;
            pointPolygons_[counts[v]++] = p;
        }
    }
}

HostHandle Scene::addObject(const std::string& name, Mesh mesh) {
    SceneObject object;
    object.id = static_cast<HostHandle>(slots_.size() + 1);
    object.name = name;
    object.mesh = std::move(mesh);
    objects_.push_back(std::move(object));
    slots_.push_back({&objects_.back(), nullptr, std::prev(objects_.end()), {}});
    return objects_.back().id;
}

HostHandle Scene::findObject(const std::string& name) const {
    for (const SceneObject& object : objects_) {
        if (object.name == name) return object.id;
    }
    return 0;
}

HostHandle Scene::addWeightMap(HostHandle objectId, const std::string& name) {
    if (HostHandle existing = findWeightMap(objectId, name)) return existing;
    WeightMap map;
    map.id = static_cast<HostHandle>(slots_.size() + 1);
    map.object = objectId;
    map.name = name;
    if (const SceneObject* owner = object(objectId)) {
        map.values.assign(owner->mesh.pointCount(), 0.0f);
    }
    weightMaps_.push_back(std::move(map));
    slots_.push_back({nullptr, &weightMaps_.back(), {}, std::prev(weightMaps_.end())});
    return weightMaps_.back().id;
}

bool Scene::removeObject(HostHandle id) {
    if (object(id) == nullptr) return false;
    for (auto map = weightMaps_.begin(); map != weightMaps_.end();) {
        const HostHandle mapId = map->id;
        ++map;
        if (slots_[mapId - 1].map->object == id) removeWeightMap(mapId);
    }
    Slot& s = slots_[id - 1];
    objects_.erase(s.objectAt);
    s = Slot{nullptr, nullptr, {}, {}};
    return true;
}

bool Scene::removeWeightMap(HostHandle id) {
    if (weightMap(id) == nullptr) return false;
    Slot& s = slots_[id - 1];
    weightMaps_.erase(s.mapAt);
    s = Slot{nullptr, nullptr, {}, {}};
    return true;
}

HostHandle Scene::findWeightMap(HostHandle objectId, const std::string& name) const {
    for (const WeightMap& map : weightMaps_) {
        if (map.object == objectId && map.name == name) return map.id;
    }
    return 0;
}

}  // namespace kestrin::host

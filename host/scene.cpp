#include "scene.h"

#include <algorithm>
#include <utility>

namespace kestrin::host {

Mesh::Mesh(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons) {
    reset(std::move(points), polygons);
}

void Mesh::reset(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons) {
    base_ = std::move(points);
    current_ = base_;
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

void Mesh::setBase(std::vector<Point3> positions) {
    if (positions.size() != base_.size()) return;
    base_ = std::move(positions);
    current_ = base_;
}

bool Mesh::position(int32_t point, int32_t state, Point3* out) const {
    if (point < 0 || point >= pointCount()) return false;
    *out = state == 0 ? base_[point] : current_[point];
    return true;
}

const int32_t* Mesh::polygonVertices(int32_t polygon, int32_t* count) const {
    if (polygon < 0 || polygon >= polygonCount()) {
        *count = 0;
        return nullptr;
    }
    *count = polygonStart_[polygon + 1] - polygonStart_[polygon];
    return polygonVertices_.data() + polygonStart_[polygon];
}

const int32_t* Mesh::pointPolygons(int32_t point, int32_t* count) const {
    if (point < 0 || point >= pointCount()) {
        *count = 0;
        return nullptr;
    }
    *count = pointStart_[point + 1] - pointStart_[point];
    return pointPolygons_.data() + pointStart_[point];
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

const Scene::Slot* Scene::slot(HostHandle id) const {
    if (id == 0 || id > slots_.size()) return nullptr;
    return &slots_[id - 1];
}

HostHandle Scene::addObject(const std::string& name, Mesh mesh) {
    SceneObject object;
    slots_.push_back({true, static_cast<uint32_t>(objects_.size())});
    object.id = static_cast<HostHandle>(slots_.size());
    object.name = name;
    object.mesh = std::move(mesh);
    objects_.push_back(std::move(object));
    return objects_.back().id;
}

SceneObject* Scene::object(HostHandle id) {
    const Slot* s = slot(id);
    return s != nullptr && s->isObject ? &objects_[s->index] : nullptr;
}

const SceneObject* Scene::object(HostHandle id) const {
    return const_cast<Scene*>(this)->object(id);
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
    slots_.push_back({false, static_cast<uint32_t>(weightMaps_.size())});
    map.id = static_cast<HostHandle>(slots_.size());
    map.object = objectId;
    map.name = name;
    if (const SceneObject* owner = object(objectId)) {
        map.values.assign(owner->mesh.pointCount(), 0.0f);
    }
    weightMaps_.push_back(std::move(map));
    return weightMaps_.back().id;
}

WeightMap* Scene::weightMap(HostHandle id) {
    const Slot* s = slot(id);
    return s != nullptr && !s->isObject ? &weightMaps_[s->index] : nullptr;
}

HostHandle Scene::findWeightMap(HostHandle objectId, const std::string& name) const {
    for (const WeightMap& map : weightMaps_) {
        if (map.object == objectId && map.name == name) return map.id;
    }
    return 0;
}

}  // namespace kestrin::host

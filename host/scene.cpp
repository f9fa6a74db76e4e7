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
    mesh.setPoints(std::move(points));
    mesh.takeTopology(polygons);
    return mesh;
}

Mesh Mesh::packedLent(const Point3* points, size_t count, const Polygons& polygons) {
    Mesh mesh;
    mesh.showLentPoints(points, count);
    mesh.takeTopology(polygons);
    return mesh;
}

Mesh Mesh::withPoints(std::vector<Point3> points) const {
    Mesh mesh;
    mesh.setPoints(std::move(points));
    mesh.shareTopology(*this);
    return mesh;
}

Mesh Mesh::withLentPoints(const Point3* points, size_t count) const {
    Mesh mesh;
    mesh.showLentPoints(points, count);
    mesh.shareTopology(*this);
    return mesh;
}

void Mesh::takeTopology(const Polygons& polygons) {
    Topology topology;
    topology.polygonStart = polygons.offsets;
    topology.polygonVertices = polygons.vertices;
    topology_ = build(std::move(topology), pointCount_);
}

void Mesh::shareTopology(const Mesh& other) {
    if (pointCount_ == other.pointCount_) {
        topology_ = other.topology_;
        return;
    }
    // The adjacency is as long as the points: another count needs its own.
    Topology polygons;
    polygons.polygonStart = other.topology_->polygonStart;
    polygons.polygonVertices = other.topology_->polygonVertices;
    topology_ = build(std::move(polygons), pointCount_);
}

bool Mesh::hasTopology(size_t pointCount, const Polygons& polygons) const {
    return pointCount == size() && topology_->polygonStart == polygons.offsets &&
           topology_->polygonVertices == polygons.vertices;
}

Mesh::Mesh(const Mesh& other)
    : ownBase_(other.ownBase_), posed_(other.posed_), pointCount_(other.pointCount_), topology_(other.topology_) {
    const bool owned = other.base_ == other.ownBase_.data();
    base_ = owned ? ownBase_.data() : other.base_;
    current_ = other.current_ == other.base_    ? base_
               : other.current_ == other.posed_.data() ? posed_.data()
                                                       : other.current_;
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) *this = Mesh(other);
    return *this;
}

void Mesh::setPoints(std::vector<Point3> points) {
    ownBase_ = std::move(points);
    showLentPoints(ownBase_.data(), ownBase_.size());
}

void Mesh::showLentPoints(const Point3* points, size_t count) {
    if (points != ownBase_.data()) {
        ownBase_.clear();
        ownBase_.shrink_to_fit();
    }
    base_ = points;
    posed_.clear();
    posed_.shrink_to_fit();
    current_ = base_;
    pointCount_ = static_cast<int32_t>(count);
}

void Mesh::reset(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons) {
    setPoints(std::move(points));
    Topology topology;
    for (const auto& polygon : polygons) {
        topology.polygonVertices.insert(topology.polygonVertices.end(), polygon.begin(), polygon.end());
        topology.polygonStart.push_back(static_cast<int32_t>(topology.polygonVertices.size()));
    }
    topology_ = build(std::move(topology), pointCount_);
}

void Mesh::setCurrent(std::vector<Point3> positions) {
    if (positions.size() != size()) return;
    posed_ = std::move(positions);
    current_ = posed_.data();
}

void Mesh::lendCurrent(const Point3* positions, size_t count) {
    if (count == size()) current_ = positions;
}

void Mesh::setBase(std::vector<Point3> positions) {
    if (positions.size() != size()) return;
    setPoints(std::move(positions));
}

// Counting sort by point: a polygon is listed once per point it uses (once even
// when it names the point twice), in ascending polygon order.
std::shared_ptr<const Mesh::Topology> Mesh::build(Topology t, int32_t points) {
    const int32_t polygons = static_cast<int32_t>(t.polygonStart.size()) - 1;
    std::vector<int32_t> counts(points + 1, 0);
    std::vector<int32_t> lastPolygon(points, -1);
    for (int32_t p = 0; p < polygons; ++p) {
        for (int32_t k = t.polygonStart[p]; k < t.polygonStart[p + 1]; ++k) {
            const int32_t v = t.polygonVertices[k];
            if (v < 0 || v >= points || lastPolygon[v] == p) continue;
            lastPolygon[v] = p;
            ++counts[v + 1];
        }
    }
    for (int32_t i = 0; i < points; ++i) counts[i + 1] += counts[i];
    t.pointStart = counts;
    t.pointPolygons.assign(counts[points], 0);
    std::fill(lastPolygon.begin(), lastPolygon.end(), -1);
    for (int32_t p = 0; p < polygons; ++p) {
        for (int32_t k = t.polygonStart[p]; k < t.polygonStart[p + 1]; ++k) {
            const int32_t v = t.polygonVertices[k];
            if (v < 0 || v >= points || lastPolygon[v] == p) continue;
            lastPolygon[v] = p;
            t.pointPolygons[counts[v]++] = p;
        }
    }
    return std::make_shared<const Topology>(std::move(t));
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

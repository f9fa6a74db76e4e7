// What the simulated host owns: objects with meshes, and weight maps on them.
// Positions sit in flat arrays and the point-to-polygon adjacency is built
// once per topology, so the per-call mesh services are plain array reads.
#ifndef KESTRIN_HOST_SCENE_H
#define KESTRIN_HOST_SCENE_H

#include <stdint.h>

#include <list>
#include <string>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::host {

// A polygon mesh: points with a base (rest) and a current position, polygons
// as vertex lists in boundary order.
class Mesh {
public:
    Mesh() = default;
    // polygons: one vertex list per polygon. Vertex indices are kept as given,
    // out-of-range ones included: the mesh services hand them on as a host
    // would and never read a position through them.
    Mesh(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons);
    // The same from packed polygons.
    static Mesh packed(std::vector<Point3> points, const Polygons& polygons);

    int32_t pointCount() const { return pointCount_; }
    int32_t polygonCount() const { return static_cast<int32_t>(polygonStart_.size()) - 1; }

    const std::vector<Point3>& base() const { return base_; }
    const std::vector<Point3>& current() const { return current_; }
    // Sets the current positions; must have pointCount() entries.
    void setCurrent(std::vector<Point3> positions);
    // The same from count positions, copied into the storage the mesh has.
    void setCurrent(const Point3* positions, size_t count);
    // Sets base and current to the same positions (the rest shape).
    void setBase(std::vector<Point3> positions);
    // Replaces points and polygons alike (a mesh that gains or loses points).
    void reset(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons);

    // Position of a point in state 0 (base) or 1 (current); false out of range.
    bool position(int32_t point, int32_t state, Point3* out) const {
        if (static_cast<uint32_t>(point) >= static_cast<uint32_t>(pointCount_)) return false;
        *out = state == 0 ? base_[point] : current_[point];
        return true;
    }

    // Vertex list of a polygon; empty for an index out of range.
    const int32_t* polygonVertices(int32_t polygon, int32_t* count) const {
        if (polygon < 0 || polygon >= polygonCount()) {
            *count = 0;
            return nullptr;
        }
        *count = polygonStart_[polygon + 1] - polygonStart_[polygon];
        return polygonVertices_.data() + polygonStart_[polygon];
    }
    // Polygons that use a point, ascending; empty for an index out of range.
    const int32_t* pointPolygons(int32_t point, int32_t* count) const {
        if (point < 0 || point >= pointCount()) {
            *count = 0;
            return nullptr;
        }
        *count = pointStart_[point + 1] - pointStart_[point];
        return pointPolygons_.data() + pointStart_[point];
    }

private:
    void buildAdjacency();

    std::vector<Point3> base_;
    std::vector<Point3> current_;
    // base_.size(), kept as a number: every position read checks against it.
    int32_t pointCount_ = 0;
    std::vector<int32_t> polygonStart_{0};  // polygon p spans [start[p], start[p+1])
    std::vector<int32_t> polygonVertices_;
    std::vector<int32_t> pointStart_{0};    // point i's polygons span [start[i], start[i+1])
    std::vector<int32_t> pointPolygons_;
};

// A named per-point map of floats on one object.
struct WeightMap {
    HostHandle id = 0;
    HostHandle object = 0;
    std::string name;
    std::vector<float> values;  // one per point; 0 where nothing was written
};

// An object of the scene. It serves as an item (plug-ins attach records to
// it) and as a mesh (its handle is the mesh argument of the mesh services).
struct SceneObject {
    HostHandle id = 0;
    std::string name;
    Mesh mesh;
    // Targets an effect on this item scans; empty means the object itself.
    std::vector<HostHandle> targets;
    // Positions the last displacement pass produced, one per point; empty
    // until a pass ran.
    std::vector<Point3> output;
    // The pass count (EffectState::passes) that last produced output.
    int32_t outputPass = 0;
};

class Scene {
public:
    Scene() = default;
    // The slots point into this scene's own object and map stores.
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Adds an object and returns its handle (handles start at 1; 0 is "none").
    HostHandle addObject(const std::string& name, Mesh mesh);
    // Inline and constant time: every mesh service call starts here.
    SceneObject* object(HostHandle id) {
        const Slot* s = slot(id);
        return s != nullptr ? s->object : nullptr;
    }
    const SceneObject* object(HostHandle id) const {
        const Slot* s = slot(id);
        return s != nullptr ? s->object : nullptr;
    }
    HostHandle findObject(const std::string& name) const;
    const std::list<SceneObject>& objects() const { return objects_; }
    // Removes an object with the weight maps on it, giving their memory
    // back; their handles then name nothing (and are never given again).
    // False when id is no object.
    bool removeObject(HostHandle id);

    // Adds (or finds) the weight map of that name on an object.
    HostHandle addWeightMap(HostHandle object, const std::string& name);
    WeightMap* weightMap(HostHandle id) {
        const Slot* s = slot(id);
        return s != nullptr ? s->map : nullptr;
    }
    HostHandle findWeightMap(HostHandle object, const std::string& name) const;
    const std::list<WeightMap>& weightMaps() const { return weightMaps_; }
    // Removes one weight map; false when id is no weight map.
    bool removeWeightMap(HostHandle id);

private:
    // Objects and weight maps share one handle space, so that a handle names
    // one thing only; slots_ finds either in constant time. References to
    // objects and maps stay valid as others are added and removed (lists);
    // a removed one's slot is emptied, 16 bytes that stay.
    struct Slot {
        SceneObject* object;  // at most one of the two is set; neither once removed
        WeightMap* map;
        std::list<SceneObject>::iterator objectAt;
        std::list<WeightMap>::iterator mapAt;
    };
    const Slot* slot(HostHandle id) const {
        return id == 0 || id > slots_.size() ? nullptr : &slots_[id - 1];
    }

    std::list<SceneObject> objects_;
    std::list<WeightMap> weightMaps_;
    std::vector<Slot> slots_;  // slot of handle h at h - 1
};

}  // namespace kestrin::host

#endif

// What the simulated host owns: objects with meshes, and weight maps on them.
// Positions sit in flat arrays and the point-to-polygon adjacency is built
// once per topology, so the per-call mesh services are plain array reads.
#ifndef KESTRIN_HOST_SCENE_H
#define KESTRIN_HOST_SCENE_H

#include <stdint.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::host {

// A polygon mesh: points with a base (rest) and a current position, polygons
// as vertex lists in boundary order. The polygons and the point-to-polygon
// adjacency are one immutable topology that meshes of the same polygons
// share (a deformer's targets have the mesh's own): a million-point mesh's
// topology is 40 MB, kept once however many objects are made of it.
class Mesh {
public:
    // The polygons as stored, with the polygons of each point.
    struct Topology {
        std::vector<int32_t> polygonStart{0};  // polygon p spans [start[p], start[p+1])
        std::vector<int32_t> polygonVertices;
        std::vector<int32_t> pointStart{0};    // point i's polygons span [start[i], start[i+1])
        std::vector<int32_t> pointPolygons;
    };
    // Positions the mesh shows, wherever they are held.
    struct Positions {
        const Point3* data;
        size_t count;
        const Point3* begin() const { return data; }
        const Point3* end() const { return data + count; }
        size_t size() const { return count; }
        const Point3& operator[](size_t i) const { return data[i]; }
        std::vector<Point3> copy() const { return {begin(), end()}; }
    };

    Mesh() = default;
    // polygons: one vertex list per polygon. Vertex indices are kept as given,
    // out-of-range ones included: the mesh services hand them on as a host
    // would and never read a position through them.
    Mesh(std::vector<Point3> points, const std::vector<std::vector<int32_t>>& polygons);
    // The same from packed polygons.
    static Mesh packed(std::vector<Point3> points, const Polygons& polygons);
    // Other points on this mesh's topology, shared; as many as it has.
    Mesh withPoints(std::vector<Point3> points) const;
    // The same two with base points the caller holds, shown uncopied: they
    // must stay alive and unchanged for as long as the mesh (or a copy of
    // it) is used. Setting new base points makes them the mesh's own again.
    static Mesh packedLent(const Point3* points, size_t count, const Polygons& polygons);
    Mesh withLentPoints(const Point3* points, size_t count) const;
    // Whether a mesh of pointCount points with these polygons has this one's
    // topology (and could share it).
    bool hasTopology(size_t pointCount, const Polygons& polygons) const;
    // Copies show the copy's own positions where the original showed its own.
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    Mesh(Mesh&&) = default;
    Mesh& operator=(Mesh&&) = default;

    int32_t pointCount() const { return pointCount_; }
    int32_t polygonCount() const { return static_cast<int32_t>(topology_->polygonStart.size()) - 1; }

    Positions base() const { return {base_, size()}; }
    Positions current() const { return {current_, size()}; }
    // Sets the current positions; must have pointCount() entries.
    void setCurrent(std::vector<Point3> positions);
    // Shows count positions that the caller holds as the current ones,
    // uncopied, until the current positions are next set; the caller keeps
    // them alive (and unchanged) until then. Ignored unless count is
    // pointCount().
    void lendCurrent(const Point3* positions, size_t count);
    // The base positions as the current ones again.
    void showBase() { current_ = base_; }
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
        const Topology& t = *topology_;
        if (polygon < 0 || polygon >= polygonCount()) {
            *count = 0;
            return nullptr;
        }
        *count = t.polygonStart[polygon + 1] - t.polygonStart[polygon];
        return t.polygonVertices.data() + t.polygonStart[polygon];
    }
    // Polygons that use a point, ascending; empty for an index out of range.
    const int32_t* pointPolygons(int32_t point, int32_t* count) const {
        const Topology& t = *topology_;
        if (point < 0 || point >= pointCount()) {
            *count = 0;
            return nullptr;
        }
        *count = t.pointStart[point + 1] - t.pointStart[point];
        return t.pointPolygons.data() + t.pointStart[point];
    }

private:
    size_t size() const { return static_cast<size_t>(pointCount_); }
    void setPoints(std::vector<Point3> points);
    void showLentPoints(const Point3* points, size_t count);
    void takeTopology(const Polygons& polygons);
    void shareTopology(const Mesh& other);
    static std::shared_ptr<const Topology> build(Topology topology, int32_t points);

    // The base positions: ownBase_'s or the caller's (packedLent).
    const Point3* base_ = nullptr;
    std::vector<Point3> ownBase_;
    std::vector<Point3> posed_;  // current positions set as a whole
    // What the current positions are: base_, posed_ or the caller's.
    const Point3* current_ = nullptr;
    // How many base points there are: every position read checks against it.
    int32_t pointCount_ = 0;
    std::shared_ptr<const Topology> topology_ = std::make_shared<const Topology>();
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

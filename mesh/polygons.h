// Polygons of a mesh, packed: polygon i lists the point indices
// vertices[offsets[i]] .. vertices[offsets[i + 1] - 1] in boundary order.
// Never triangulated. One allocation for the whole list, whatever its size,
// which is what a mesh of a million polygons needs.
#ifndef KESTRIN_POLYGONS_H
#define KESTRIN_POLYGONS_H

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <vector>

namespace kestrin {

struct Polygons {
    std::vector<int32_t> offsets{0};  // size() + 1 entries, offsets[0] == 0
    std::vector<int32_t> vertices;

    // Not an aggregate: {{0, 1, 2}} means one triangle, never the two lists.
    Polygons() {}
    Polygons(std::initializer_list<std::initializer_list<int32_t>> polygons) {
        for (const auto& polygon : polygons) add(polygon);
    }

    size_t size() const { return offsets.size() - 1; }
    bool empty() const { return offsets.size() == 1; }
    const int32_t* begin(size_t polygon) const { return vertices.data() + offsets[polygon]; }
    size_t count(size_t polygon) const {
        return static_cast<size_t>(offsets[polygon + 1] - offsets[polygon]);
    }
    // Appends a polygon of count points.
    void add(const int32_t* points, size_t count) {
        vertices.insert(vertices.end(), points, points + count);
        offsets.push_back(static_cast<int32_t>(vertices.size()));
    }
    void add(std::initializer_list<int32_t> points) { add(points.begin(), points.size()); }
    void clear() {
        offsets.assign(1, 0);
        vertices.clear();
    }
    bool operator==(const Polygons& other) const {
        return offsets == other.offsets && vertices == other.vertices;
    }
    bool operator!=(const Polygons& other) const { return !(*this == other); }
};

}  // namespace kestrin

#endif

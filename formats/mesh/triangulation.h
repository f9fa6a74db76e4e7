// Polygons split into triangles, for every writer that draws or exports a
// mesh (the heat-map pictures, the shot page, the engine mesh). Each polygon
// is split on the plane it best fits (its Newell normal): a convex one as a
// fan from its first corner, a concave one by ear clipping, so that the
// triangles cover the polygon once, none of them flipped, and their areas
// add up to the polygon's.
#ifndef KESTRIN_FORMATS_TRIANGULATION_H
#define KESTRIN_FORMATS_TRIANGULATION_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::formats {

// Appends the triangles of one polygon of `count` corners (corners[i] is a
// point of `points`) to `out`, as corner places 0..count-1, three per
// triangle, wound as the polygon runs: count - 2 triangles, none for fewer
// than 3 corners.
void triangulatePolygon(const Point3* points, const int32_t* corners, size_t count, std::vector<uint32_t>& out);

// Every polygon's triangles, in polygon order, as places in
// polygons.vertices (so that a caller may map a corner to a point or to a
// vertex of its own). `points` must hold every point the polygons name.
std::vector<uint32_t> triangulate(const Point3* points, const Polygons& polygons);

}  // namespace kestrin::formats

#endif

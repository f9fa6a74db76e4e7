// The posed mesh drawn as a shaded heat map of its weights, from a fixed
// three-quarter view fitted to where its drawn points lie (a few stray points
// far off are clipped rather than framed), with a colour legend.
#ifndef KESTRIN_FORMATS_HEAT_MAP_H
#define KESTRIN_FORMATS_HEAT_MAP_H

#include <vector>

#include "mesh/mesh_data.h"
#include "picture/image.h"

namespace kestrin::formats {

// The part of the view a picture shows, in view space. Pictures of a
// sequence share one, the union of every pose's, so that they play as a
// steady flipbook.
struct HeatMapFrame {
    double lowX = 0.0, lowY = 0.0, highX = 0.0, highY = 0.0;
    bool set = false;
};
// One pose's frame: where its drawn points lie, a few stray ones left out.
HeatMapFrame heatMapFrame(const MeshData& mesh);
// Widens frame to take in other too.
void widenFrame(HeatMapFrame& frame, const HeatMapFrame& other);

// Renders mesh (polygons split into triangles, mesh/triangulation.h)
// coloured by weights (one per point) with the diverging colour map, the
// legend on the right; framed by `frame` when given, else by the mesh's own;
// `caption` (the pose's frame) in the top left corner.
Image renderHeatMap(const MeshData& mesh, const std::vector<float>& weights, int width = 800,
                    int height = 600, const HeatMapFrame* frame = nullptr, const std::string& caption = "");

}  // namespace kestrin::formats

#endif

#include "engine/glb_mesh.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <unordered_map>

#include "files/atomic_file.h"
#include "files/colour_map.h"
#include "files/format_error.h"
#include "mesh/triangulation.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>
#pragma GCC diagnostic pop

namespace kestrin::formats {
namespace {

struct Vertices {
    std::vector<int32_t> point;   // each vertex's point
    std::vector<int32_t> uv;      // each vertex's vt, or nothing without UVs
    std::vector<int32_t> corner;  // each polygon corner's vertex
};

// One vertex per point without UVs (the file's numbering kept); with them,
// one per (point, vt) pair the corners use, in order of first use.
Vertices splitVertices(const MeshData& rest, const ObjUvs& uvs) {
    Vertices vertices;
    const std::vector<int32_t>& corners = rest.polygons.vertices;
    if (uvs.empty() || uvs.corners.size() != corners.size()) {
        vertices.point.resize(rest.points.size());
        for (size_t i = 0; i < vertices.point.size(); ++i) vertices.point[i] = static_cast<int32_t>(i);
        vertices.corner = corners;
        return vertices;
    }
    std::unordered_map<uint64_t, int32_t> made;
    vertices.corner.reserve(corners.size());
    for (size_t c = 0; c < corners.size(); ++c) {
        const uint64_t key = (static_cast<uint64_t>(corners[c]) << 32) | static_cast<uint32_t>(uvs.corners[c]);
        auto [entry, added] = made.emplace(key, static_cast<int32_t>(vertices.point.size()));
        if (added) {
            vertices.point.push_back(corners[c]);
            vertices.uv.push_back(uvs.corners[c]);
        }
        vertices.corner.push_back(entry->second);
    }
    return vertices;
}

// Area-weighted point normals: each polygon's Newell normal added to its
// corners. A point with none (unused, or only degenerate polygons) gets +z,
// since glTF wants every normal of unit length.
std::vector<float> pointNormals(const MeshData& rest) {
    std::vector<double> sum(rest.points.size() * 3, 0.0);
    const Polygons& polygons = rest.polygons;
    for (size_t f = 0; f < polygons.size(); ++f) {
        const int32_t* corner = polygons.begin(f);
        const size_t count = polygons.count(f);
        double n[3] = {0, 0, 0};
        for (size_t i = 0; i < count; ++i) {
            const Point3& a = rest.points[corner[i]];
            const Point3& b = rest.points[corner[(i + 1) % count]];
            n[0] += (a.y - b.y) * (a.z + b.z);
            n[1] += (a.z - b.z) * (a.x + b.x);
            n[2] += (a.x - b.x) * (a.y + b.y);
        }
        for (size_t i = 0; i < count; ++i) {
            for (int a = 0; a < 3; ++a) sum[corner[i] * 3 + a] += n[a];
        }
    }
    std::vector<float> normals(sum.size());
    for (size_t p = 0; p < rest.points.size(); ++p) {
        const double* n = &sum[p * 3];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int a = 0; a < 3; ++a) {
            normals[p * 3 + a] = length > 0.0 && std::isfinite(length)
                                     ? static_cast<float>(n[a] / length)
                                     : (a == 2 ? 1.0f : 0.0f);
        }
    }
    return normals;
}

float linearFromSrgb(uint8_t value) {
    const float c = value / 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

class GltfBuilder {
public:
    GltfBuilder() {
        model_.asset.version = "2.0";
        model_.asset.generator = "kestrin";
        model_.buffers.resize(1);
    }

    // Appends the values as a buffer view and an accessor; returns the accessor.
    template <typename Value>
    int add(const std::vector<Value>& values, int componentType, int type, size_t components, int target) {
        std::vector<unsigned char>& data = model_.buffers[0].data;
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = values.size() * sizeof(Value);
        view.target = target;
        const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
        data.insert(data.end(), bytes, bytes + view.byteLength);
        model_.bufferViews.push_back(view);
        tinygltf::Accessor accessor;
        accessor.bufferView = static_cast<int>(model_.bufferViews.size() - 1);
        accessor.componentType = componentType;
        accessor.type = type;
        accessor.count = values.size() / components;
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size() - 1);
    }
    int addFloats(const std::vector<float>& values, int type, size_t components) {
        return add(values, TINYGLTF_COMPONENT_TYPE_FLOAT, type, components, TINYGLTF_TARGET_ARRAY_BUFFER);
    }
    tinygltf::Accessor& accessor(int index) { return model_.accessors[index]; }
    tinygltf::Model& model() { return model_; }

private:
    tinygltf::Model model_;
};

const ObjUvs& noUvs() {
    static const ObjUvs none;
    return none;
}

class GlbShot : public ShotWriter {
public:
    GlbShot(const std::string& path, const ShotLayout& layout)
        : path_(path), rest_(layout.rest),
          texture_(textureLayout(layout.rest.points.size(), layout.poseCount, path)),
          uvs_(layout.restUvs != nullptr ? *layout.restUvs : noUvs()) {}
    void append(const PoseFrame& frame) override {
        if (first_ || frame.weights == nullptr) return;
        weights_ = *frame.weights;
        first_ = true;
    }
    std::string finishStaged() override {
        return writeTemporaryFor(path_, glbMesh(rest_, uvs_, texture_, first_ ? &weights_ : nullptr));
    }

private:
    std::string path_;
    const MeshData& rest_;
    TextureLayout texture_;
    const ObjUvs& uvs_;
    bool first_ = false;
    std::vector<float> weights_;
};

tinygltf::Value layoutValue(const TextureLayout& layout) {
    tinygltf::Value::Object object;
    object["points"] = tinygltf::Value(static_cast<int>(layout.points));
    object["frames"] = tinygltf::Value(static_cast<int>(layout.frames));
    object["width"] = tinygltf::Value(static_cast<int>(layout.width));
    object["rowsPerFrame"] = tinygltf::Value(static_cast<int>(layout.rowsPerFrame));
    tinygltf::Value::Object extras;
    extras["kestrinTexture"] = tinygltf::Value(object);
    return tinygltf::Value(extras);
}

// Each vertex's attributes, in the order glTF takes them, and the box of
// its positions.
struct VertexAttributes {
    std::vector<float> positions, normals, texel, uv, colours;
    std::vector<double> low = std::vector<double>(3, INFINITY), high = std::vector<double>(3, -INFINITY);
};

// The attributes of the split vertices: the rest positions and normals, the
// texel each addresses in the vertex-animation texture, the UVs when the
// mesh has them, the colours of the weights when given.
VertexAttributes vertexAttributes(const MeshData& rest, const ObjUvs& uvs, const Vertices& vertices,
                                  const TextureLayout& layout, const std::vector<float>* weights) {
    const size_t count = vertices.point.size();
    const std::vector<float> normalOfPoint = pointNormals(rest);
    VertexAttributes out;
    out.positions.resize(count * 3);
    out.normals.resize(count * 3);
    out.texel.resize(count * 2);
    out.uv.resize(vertices.uv.empty() ? 0 : count * 2);
    out.colours.resize(weights == nullptr ? 0 : count * 3);
    const float range = weights == nullptr ? 1.0f : colourRange(*weights);
    for (size_t v = 0; v < count; ++v) {
        const size_t point = static_cast<size_t>(vertices.point[v]);
        const Point3& p = rest.points[point];
        const float position[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        for (int a = 0; a < 3; ++a) {
            out.positions[v * 3 + a] = position[a];
            out.low[a] = std::fmin(out.low[a], position[a]);
            out.high[a] = std::fmax(out.high[a], position[a]);
            out.normals[v * 3 + a] = normalOfPoint[point * 3 + a];
        }
        out.texel[v * 2] = layout.u(point);
        out.texel[v * 2 + 1] = layout.v(point);
        if (!out.uv.empty()) {
            // OBJ's v runs up from the image's bottom, glTF's down from its top.
            out.uv[v * 2] = uvs.uv[vertices.uv[v] * 2];
            out.uv[v * 2 + 1] = 1.0f - uvs.uv[vertices.uv[v] * 2 + 1];
        }
        if (!out.colours.empty()) {
            const Rgb rgb = divergingColour((*weights)[point], range);
            out.colours[v * 3] = linearFromSrgb(rgb.red);
            out.colours[v * 3 + 1] = linearFromSrgb(rgb.green);
            out.colours[v * 3 + 2] = linearFromSrgb(rgb.blue);
        }
    }
    return out;
}

// The attributes and the triangles (indices of vertices; none for a point
// cloud) as the mesh's one primitive, their data appended to the builder.
tinygltf::Primitive primitiveOf(GltfBuilder& builder, const VertexAttributes& attributes,
                                const std::vector<uint32_t>& triangles) {
    tinygltf::Primitive primitive;
    // A mesh without faces (a point cloud) is its points: glTF has no empty
    // list of triangles.
    primitive.mode = triangles.empty() ? TINYGLTF_MODE_POINTS : TINYGLTF_MODE_TRIANGLES;
    const int position = builder.addFloats(attributes.positions, TINYGLTF_TYPE_VEC3, 3);
    builder.accessor(position).minValues = attributes.low;
    builder.accessor(position).maxValues = attributes.high;
    primitive.attributes["POSITION"] = position;
    primitive.attributes["NORMAL"] = builder.addFloats(attributes.normals, TINYGLTF_TYPE_VEC3, 3);
    // glTF numbers texture coordinate sets from 0 without gaps: a mesh
    // without UVs has the texel coordinates in both sets.
    const int texelSet = builder.addFloats(attributes.texel, TINYGLTF_TYPE_VEC2, 2);
    primitive.attributes["TEXCOORD_0"] =
        attributes.uv.empty() ? texelSet : builder.addFloats(attributes.uv, TINYGLTF_TYPE_VEC2, 2);
    primitive.attributes["TEXCOORD_1"] = texelSet;
    if (!attributes.colours.empty()) {
        primitive.attributes["COLOR_0"] = builder.addFloats(attributes.colours, TINYGLTF_TYPE_VEC3, 3);
    }
    if (!triangles.empty()) {
        primitive.indices = builder.add(triangles, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                                        TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    }
    return primitive;
}

// The model's one scene: a node of the mesh "rest", its primitive with the
// material every engine shades the tension with, and the texture's layout
// in the mesh's extras.
void addScene(tinygltf::Model& model, tinygltf::Primitive primitive, const TextureLayout& layout) {
    tinygltf::Material material;
    material.name = "kestrin tension";
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    material.doubleSided = true;
    model.materials.push_back(material);
    primitive.material = 0;
    tinygltf::Mesh mesh;
    mesh.name = "rest";
    mesh.primitives.push_back(primitive);
    mesh.extras = layoutValue(layout);
    model.meshes.push_back(mesh);
    tinygltf::Node node;
    node.mesh = 0;
    node.name = "rest";
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;
}

}  // namespace

std::string glbMesh(const MeshData& rest, const ObjUvs& uvs, const TextureLayout& layout,
                    const std::vector<float>* weights) {
    const Vertices vertices = splitVertices(rest, uvs);
    const VertexAttributes attributes = vertexAttributes(rest, uvs, vertices, layout, weights);
    std::vector<uint32_t> triangles = triangulate(rest.points.data(), rest.polygons);
    for (uint32_t& corner : triangles) corner = static_cast<uint32_t>(vertices.corner[corner]);
    GltfBuilder builder;
    addScene(builder.model(), primitiveOf(builder, attributes, triangles), layout);

    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&builder.model(), out, false, true)) {
        throw FormatError(rest.path + ": the glTF mesh could not be encoded");
    }
    return out.str();
}

std::unique_ptr<ShotWriter> glbShot(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<GlbShot>(path, layout);
}

}  // namespace kestrin::formats

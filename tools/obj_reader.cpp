// The parsing itself is tinyobjloader's; it is lenient (an unreadable number
// reads as 0) and reports no line for most faults, so every `v` and `f` line
// is checked here first and the loader only runs on a file known to be sound.
#include "obj_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#define TINYOBJLOADER_IMPLEMENTATION
#define TINYOBJLOADER_USE_DOUBLE
#include <tiny_obj_loader.h>

#include "tool_error.h"

namespace kestrin::tool {
namespace {

// tinyobjloader keeps a face's corner count in a byte.
constexpr size_t maxCorners = 255;

struct FaceReference {
    size_t line;
    long largestIndex;  // 1-based, positive indices only
};

struct LineCounts {
    size_t points = 0;
    size_t faces = 0;
    // The coordinates of every point, as strtod reads them: correctly
    // rounded, where the loader's own number parser can be an ulp off (it
    // reads 0.6 as 0.6000000000000001).
    std::vector<Point3> positions;
    // What the loader is given: the point and face lines alone, cut down to
    // what is used (x y z; each corner's point index). Lines of other kinds
    // never reach it: it mishandles some of them (a `vw` joint id beyond an
    // int is converted regardless), and nothing of theirs is used.
    std::string loaderText;
};

[[noreturn]] void failAt(const std::string& path, size_t line, const std::string& what) {
    throw ToolError(path + ":" + std::to_string(line) + ": " + what);
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) {
        if (word[0] == '#') break;
        words.push_back(word);
    }
    return words;
}

bool parseWholeLong(const std::string& text, long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

Point3 checkPointLine(const std::string& path, size_t line, const std::vector<std::string>& words) {
    // x y z, optionally w, or x y z r g b [w] as some exporters write colours.
    const size_t values = words.size() - 1;
    if (values < 3 || values > 7) {
        failAt(path, line, "a point line needs 3 coordinates (found " + std::to_string(values) +
                               " values)");
    }
    double coordinates[3] = {0.0, 0.0, 0.0};
    for (size_t i = 1; i < words.size(); ++i) {
        char* end = nullptr;
        const double value = std::strtod(words[i].c_str(), &end);
        if (*end != '\0' || end == words[i].c_str()) {
            failAt(path, line, "'" + words[i] + "' is not a number");
        }
        if (!std::isfinite(value)) {
            failAt(path, line, "coordinate '" + words[i] + "' is not a finite number");
        }
        if (i <= 3) coordinates[i - 1] = value;
    }
    return {coordinates[0], coordinates[1], coordinates[2]};
}

// Checks one corner "v", "v/vt", "v//vn" or "v/vt/vn"; returns its point index
// as written (negative ones are relative to the points read so far).
long checkCorner(const std::string& path, size_t line, const std::string& corner) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t slash = corner.find('/', start);
        parts.push_back(corner.substr(start, slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    long index = 0;
    if (parts.size() > 3 || !parseWholeLong(parts[0], &index)) {
        failAt(path, line, "'" + corner + "' is not a face corner (v, v/vt, v//vn or v/vt/vn)");
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        long other = 0;
        const bool emptyTexture = i == 1 && parts.size() == 3 && parts[1].empty();
        if (!emptyTexture && (!parseWholeLong(parts[i], &other) || other == 0)) {
            failAt(path, line, "'" + corner + "' is not a face corner (v, v/vt, v//vn or v/vt/vn)");
        }
    }
    if (index == 0) failAt(path, line, "face index 0 (OBJ indices start at 1)");
    return index;
}

LineCounts checkLines(const std::string& path, const std::string& text) {
    LineCounts counts;
    std::vector<FaceReference> faces;
    std::istringstream stream(text);
    std::string line;
    size_t lineNumber = 0;
    while (std::getline(stream, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        // The keyword is the whole first word: a bare "v" or "f" is a point
        // or face line without values, not a line of some other kind.
        const std::string keyword = line.substr(first, line.find_first_of(" \t", first) - first);
        const bool pointLine = keyword == "v";
        const bool faceLine = keyword == "f";
        if (!pointLine && !faceLine) continue;
        const std::vector<std::string> words = splitWords(line.substr(first));
        if (pointLine) {
            counts.positions.push_back(checkPointLine(path, lineNumber, words));
            counts.loaderText += "v " + words[1] + " " + words[2] + " " + words[3] + "\n";
            ++counts.points;
            continue;
        }
        const size_t corners = words.size() - 1;
        if (corners < 3) {
            failAt(path, lineNumber, "a face needs at least 3 corners (found " +
                                         std::to_string(corners) + ")");
        }
        if (corners > maxCorners) {
            failAt(path, lineNumber, "a face with more than 255 corners is not supported");
        }
        FaceReference reference{lineNumber, 0};
        counts.loaderText += "f";
        for (size_t i = 1; i < words.size(); ++i) {
            const long index = checkCorner(path, lineNumber, words[i]);
            counts.loaderText += " " + std::to_string(index);
            if (index < 0 && -index > static_cast<long>(counts.points)) {
                failAt(path, lineNumber, "relative face index " + std::to_string(index) +
                                             " reaches before the first point");
            }
            if (index > reference.largestIndex) reference.largestIndex = index;
        }
        counts.loaderText += "\n";
        faces.push_back(reference);
        ++counts.faces;
    }
    if (stream.bad()) throw ToolError(path + ": read error");
    for (const FaceReference& face : faces) {
        if (face.largestIndex > static_cast<long>(counts.points)) {
            failAt(path, face.line, "face index " + std::to_string(face.largestIndex) +
                                        " is out of range (the file has " +
                                        std::to_string(counts.points) + " points)");
        }
    }
    if (counts.points == 0) throw ToolError(path + ": no points (no 'v' lines)");
    return counts;
}

std::string readWholeFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw ToolError(path + ": is a directory, not an OBJ file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError(path + ": cannot open: " + std::strerror(errno));
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad()) throw ToolError(path + ": read error");
    return contents.str();
}

}  // namespace

MeshData readObj(const std::string& path) {
    const std::string text = readWholeFile(path);
    const LineCounts counts = checkLines(path, text);

    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::string warnings;
    std::string errors;
    std::istringstream stream(counts.loaderText);
    // No material reader: materials play no part, and a missing .mtl file must
    // not make a mesh unreadable.
    const bool loaded = tinyobj::LoadObj(&attributes, &shapes, nullptr, &warnings, &errors, &stream,
                                         nullptr, /*triangulate=*/false);
    if (!loaded) throw ToolError(path + ": " + (errors.empty() ? "not a readable OBJ file" : errors));

    MeshData mesh;
    mesh.path = path;
    // The loader's points only confirm the count; the values are the
    // exactly read ones.
    if (attributes.vertices.size() / 3 == counts.points) mesh.points = counts.positions;
    // Shapes come in file order and each keeps its faces in file order, so
    // their concatenation is the file's face list.
    for (const tinyobj::shape_t& shape : shapes) {
        size_t corner = 0;
        for (const unsigned char cornerCount : shape.mesh.num_face_vertices) {
            std::vector<int32_t> polygon(cornerCount);
            for (int32_t& point : polygon) point = shape.mesh.indices[corner++].vertex_index;
            mesh.polygons.push_back(std::move(polygon));
        }
    }
    if (mesh.points.size() != counts.points || mesh.polygons.size() != counts.faces) {
        throw ToolError(path + ": read " + std::to_string(mesh.points.size()) + " points and " +
                        std::to_string(mesh.polygons.size()) + " faces where the file has " +
                        std::to_string(counts.points) + " and " + std::to_string(counts.faces));
    }
    return mesh;
}

}  // namespace kestrin::tool

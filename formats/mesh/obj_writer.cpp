#include "mesh/obj_writer.h"

#include "files/file_bytes.h"
#include "files/finite_values.h"
#include "files/number_text.h"
#include "mesh/obj_text.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

std::string plainObj(const MeshData& mesh) {
    std::string out = "# made by kestrin\n";
    out.reserve(mesh.points.size() * 48 + mesh.polygons.vertices.size() * 8);
    for (const Point3& p : mesh.points) {
        out += "v ";
        appendShortest(out, p.x);
        out += ' ';
        appendShortest(out, p.y);
        out += ' ';
        appendShortest(out, p.z);
        out += '\n';
    }
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        out += 'f';
        const int32_t* corners = mesh.polygons.begin(face);
        for (size_t i = 0; i < mesh.polygons.count(face); ++i) {
            out += ' ';
            appendShortest(out, corners[i] + 1);
        }
        out += '\n';
    }
    return out;
}

}  // namespace

std::string objWithPositions(std::string_view sourceText, const std::string& sourcePath,
                             const Point3* points, size_t count) {
    requireFinitePoints(points, count, false);
    std::string out;
    out.reserve(sourceText.size() + sourceText.size() / 4);
    const char* at = sourceText.data();
    const char* const end = at + sourceText.size();
    const char* copied = at;  // source bytes before this are in out
    size_t point = 0;
    bool morePoints = false;
    while (at < end) {
        const obj::Line line = obj::lineAt(at, end);
        at = line.next;
        const char* values = nullptr;
        if (obj::kindOf(line, &values) != obj::Kind::point) continue;
        if (point == count) {
            morePoints = true;
            break;
        }
        const double coordinates[3] = {points[point].x, points[point].y, points[point].z};
        std::string_view word;
        for (double coordinate : coordinates) {
            if (!obj::nextWord(&values, line.end, &word)) {
                throw FormatError(sourcePath + ": a point line without 3 coordinates");
            }
            out.append(copied, static_cast<size_t>(word.data() - copied));
            appendShortest(out, coordinate);
            copied = word.data() + word.size();
        }
        ++point;
    }
    if (point != count || morePoints) {
        throw FormatError(sourcePath + ": its point lines do not match the " + std::to_string(count) +
                        " points to write; nothing written");
    }
    out.append(copied, static_cast<size_t>(end - copied));
    return out;
}

std::string meshObj(const MeshData& mesh, std::string_view sourceText) {
    if (sourceText.empty()) {
        requireFinitePoints(mesh.points.data(), mesh.points.size(), false);
        return plainObj(mesh);
    }
    return objWithPositions(sourceText, mesh.path, mesh.points.data(), mesh.points.size());
}

}  // namespace kestrin::formats

#include "mesh/obj_writer.h"

#include <charconv>

#include "files/file_bytes.h"
#include "files/finite_values.h"
#include "files/number_text.h"
#include "mesh/obj_text.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

void appendNumber(ByteSink& out, double value) {
    out.commit(shortestDouble(value, out.room(shortestDoubleRoom)));
}

void writePlainObj(const MeshData& mesh, ByteSink& out) {
    out.append("# made by kestrin\n");
    for (const Point3& p : mesh.points) {
        out.append("v ");
        appendNumber(out, p.x);
        out.append(' ');
        appendNumber(out, p.y);
        out.append(' ');
        appendNumber(out, p.z);
        out.append('\n');
    }
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        out.append('f');
        const int32_t* corners = mesh.polygons.begin(face);
        for (size_t i = 0; i < mesh.polygons.count(face); ++i) {
            out.append(' ');
            char* text = out.room(16);
            out.commit(static_cast<size_t>(std::to_chars(text, text + 16, corners[i] + 1).ptr - text));
        }
        out.append('\n');
    }
}

}  // namespace

void writeObjWithPositions(std::string_view sourceText, const std::string& sourcePath, const Point3* points,
                           size_t count, ByteSink& out) {
    requireFinitePoints(points, count, false);
    const char* at = sourceText.data();
    const char* const end = at + sourceText.size();
    const char* copied = at;  // source bytes before this are passed on
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
            out.append(std::string_view(copied, static_cast<size_t>(word.data() - copied)));
            appendNumber(out, coordinate);
            copied = word.data() + word.size();
        }
        ++point;
    }
    if (point != count || morePoints) {
        throw FormatError(sourcePath + ": its point lines do not match the " + std::to_string(count) +
                          " points to write; nothing written");
    }
    out.append(std::string_view(copied, static_cast<size_t>(end - copied)));
}

void writeMeshObj(const MeshData& mesh, std::string_view sourceText, ByteSink& out) {
    if (sourceText.empty()) {
        requireFinitePoints(mesh.points.data(), mesh.points.size(), false);
        writePlainObj(mesh, out);
    } else {
        writeObjWithPositions(sourceText, mesh.path, mesh.points.data(), mesh.points.size(), out);
    }
}

std::string meshObj(const MeshData& mesh, std::string_view sourceText) {
    std::string text;
    StringSink sink(text);
    writeMeshObj(mesh, sourceText, sink);
    sink.flush();
    return text;
}

}  // namespace kestrin::formats

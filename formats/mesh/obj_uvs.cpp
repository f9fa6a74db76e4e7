#include "mesh/obj_uvs.h"

#include <cfloat>
#include <charconv>
#include <cmath>

#include "files/file_bytes.h"
#include "files/format_error.h"
#include "files/message_text.h"
#include "files/number_text.h"
#include "mesh/obj_text.h"

namespace kestrin::formats {
namespace {

bool isTextureLine(const obj::Line& line, const char** values) {
    const char* p = line.begin;
    while (p < line.end && obj::isBlank(*p)) ++p;
    if (line.end - p < 3 || p[0] != 'v' || p[1] != 't' || !obj::isBlank(p[2])) return false;
    *values = p + 2;
    return true;
}

// A texture coordinate, refused as the reader refuses a point's: with the
// line, when it is no number, is not finite or does not fit the float it
// is written as.
float textureCoordinate(std::string_view word, const std::string& path, size_t line) {
    double value = 0.0;
    const std::string where = path + ":" + std::to_string(line) + ": texture coordinate " + quotedBytes(word);
    if (!readDecimal(word, &value)) throw FormatError(where + " is not a number");
    if (!std::isfinite(value)) throw FormatError(where + " is not a finite number");
    if (std::fabs(value) > FLT_MAX) throw FormatError(where + " is too large for a float");
    return static_cast<float>(value);
}

// The vt index of a corner "v/vt" or "v/vt/vn", 0-based; -1 when it has none.
int64_t cornerUv(std::string_view corner, size_t uvsSoFar) {
    const size_t slash = corner.find('/');
    if (slash == std::string_view::npos) return -1;
    std::string_view index = corner.substr(slash + 1);
    index = index.substr(0, index.find('/'));
    long long value = 0;
    const auto result = std::from_chars(index.data(), index.data() + index.size(), value);
    if (result.ec != std::errc() || result.ptr != index.data() + index.size() || value == 0) return -1;
    return value > 0 ? value - 1 : static_cast<int64_t>(uvsSoFar) + value;
}

}  // namespace

ObjUvs readObjUvs(std::string_view text, const Polygons& polygons, const std::string& path) {
    const char* const end = text.data() + text.size();
    ObjUvs uvs;
    bool whole = true;  // every corner so far names a vt, and the faces are the polygons'
    size_t face = 0;
    size_t lineNumber = 0;
    for (const char* at = text.data(); at < end;) {
        const obj::Line line = obj::lineAt(at, end);
        at = line.next;
        ++lineNumber;
        const char* values = nullptr;
        std::string_view word;
        if (isTextureLine(line, &values)) {
            float uv[2] = {0.0f, 0.0f};  // a missing v is 0, as OBJ has it
            for (int i = 0; obj::nextWord(&values, line.end, &word); ++i) {
                const float value = textureCoordinate(word, path, lineNumber);
                if (i < 2) uv[i] = value;
            }
            uvs.uv.insert(uvs.uv.end(), uv, uv + 2);
        } else if (whole && obj::kindOf(line, &values) == obj::Kind::face) {
            const size_t first = uvs.corners.size();
            while (whole && obj::nextWord(&values, line.end, &word)) {
                const int64_t index = cornerUv(word, uvs.uv.size() / 2);
                whole = index >= 0 && index < static_cast<int64_t>(uvs.uv.size() / 2);
                uvs.corners.push_back(static_cast<int32_t>(index));
            }
            whole = whole && face < polygons.size() && uvs.corners.size() - first == polygons.count(face);
            ++face;
        }
    }
    // Every vt line is still checked past a face that gives up the UVs.
    if (!whole || face != polygons.size() || uvs.corners.empty()) return {};
    return uvs;
}

}  // namespace kestrin::formats

#include "mesh/obj_uvs.h"

#include <fast_float/fast_float.h>

#include <charconv>

#include "files/file_bytes.h"
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

template <typename Number>
bool parse(std::string_view word, Number* out) {
    const auto result = fast_float::from_chars(word.data(), word.data() + word.size(), *out);
    return result.ec == std::errc() && result.ptr == word.data() + word.size();
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

ObjUvs readObjUvs(const std::string& path) {
    FileBytes bytes;
    bytes.read(path, "an OBJ file");
    const std::string_view text = bytes.text();
    const char* const end = text.data() + text.size();
    ObjUvs uvs;
    for (const char* at = text.data(); at < end;) {
        const obj::Line line = obj::lineAt(at, end);
        at = line.next;
        const char* values = nullptr;
        std::string_view word;
        if (isTextureLine(line, &values)) {
            float uv[2] = {0.0f, 0.0f};  // a missing v is 0, as OBJ has it
            for (int i = 0; i < 2 && obj::nextWord(&values, line.end, &word); ++i) {
                if (!parse(word, &uv[i])) return {};
            }
            uvs.uv.insert(uvs.uv.end(), uv, uv + 2);
        } else if (obj::kindOf(line, &values) == obj::Kind::face) {
            while (obj::nextWord(&values, line.end, &word)) {
                const int64_t index = cornerUv(word, uvs.uv.size() / 2);
                if (index < 0 || index >= static_cast<int64_t>(uvs.uv.size() / 2)) return {};
                uvs.corners.push_back(static_cast<int32_t>(index));
            }
        }
    }
    if (uvs.corners.empty()) return {};
    return uvs;
}

}  // namespace kestrin::formats

// One pass over the file's bytes: each `v` and `f` line is checked and read
// where it stands, numbers by fast_float (correctly rounded: a coordinate
// reads exactly as strtod reads it), and other lines are skipped unread.
#include "mesh/obj_reader.h"

#include <charconv>
#include <cstring>
#include <cmath>
#include <fast_float/fast_float.h>
#include <stdint.h>

#include "files/file_bytes.h"
#include "files/foreign_formats.h"
#include "files/format_error.h"
#include "files/message_text.h"
#include "files/number_text.h"
#include "mesh/obj_text.h"

namespace kestrin::formats {
namespace {

// A face's corner count must fit PLY's byte-sized count.
constexpr size_t maxCorners = 255;
// x y z, optionally w, or x y z r g b [w] as some exporters write colours.
constexpr size_t maxPointValues = 7;

[[noreturn]] void failAt(const std::string& path, size_t line, const std::string& what) {
    throw FormatError(path + ":" + std::to_string(line) + ": " + what);
}

// The whole word as a decimal integer, an optional sign before it.
bool parseWholeNumber(std::string_view word, int64_t* value) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first < last && *first == '+') {
        ++first;
        if (first < last && *first == '-') return false;
    }
    const std::from_chars_result result = std::from_chars(first, last, *value);
    return result.ec == std::errc() && result.ptr == last && first < last;
}

// Where the faces of a file go: built into a list, compared with a rest
// mesh's, or both.
struct FaceSink {
    Polygons* built = nullptr;
    const ObjMesh* rest = nullptr;
    const std::string* role = nullptr;
};

class ObjParser {
public:
    ObjParser(const std::string& path, std::vector<Point3>& points, FaceSink faces)
        : path_(path), points_(points), faces_(faces) {}

    void parse(std::string_view text) {
        points_.clear();
        const char* at = text.data();
        const char* const end = at + text.size();
        while (at < end) {
            const obj::Line line = obj::lineAt(at, end);
            at = line.next;
            ++lineNumber_;
            const char* values = nullptr;
            switch (obj::kindOf(line, &values)) {
                case obj::Kind::point:
                    if (!readPlainPoint(values, line.end)) readPoint(values, line.end);
                    afterLastPoint_ = at;
                    facesAtLastPoint_ = faceCount_;
                    if (restTailFollows(at, end)) {
                        faceCount_ = faces_.rest->polygons.size();
                        at = end;
                    }
                    break;
                case obj::Kind::face:
                    if (!readPlainFace(values, line.end)) readFace(values, line.end);
                    break;
                case obj::Kind::other: break;
            }
        }
        finish();
        if (tail_ != nullptr) {
            tail_->text.assign(afterLastPoint_ != nullptr ? afterLastPoint_ : text.data(), end);
            tail_->facesBefore = facesAtLastPoint_;
        }
    }

    // Keeps the text after the last point line in *tail.
    void keepTail(ObjMesh::Tail* tail) { tail_ = tail; }

private:
    // Whether [at, end), after a pose's last point, is the rest file's tail
    // with as many faces before it: then the pose's faces are the rest's.
    bool restTailFollows(const char* at, const char* end) const {
        if (faces_.rest == nullptr || faces_.rest->tail == nullptr) return false;
        const ObjMesh::Tail& tail = *faces_.rest->tail;
        return points_.size() == faces_.rest->points.size() && faceCount_ == tail.facesBefore &&
               static_cast<size_t>(end - at) == tail.text.size() &&
               std::memcmp(at, tail.text.data(), tail.text.size()) == 0;
    }

    // The lines nearly every file is made of, "v X Y Z" and "f A B C ..."
    // with plain numbers and indices, read in one pass. Anything else (a
    // '+' sign, a fourth value, a comment, a slash, a relative or out of
    // range index, a value to refuse) returns false having kept nothing, and
    // the careful readers below read the line again and judge it, so that
    // every message stays theirs.
    bool readPlainPoint(const char* at, const char* end) {
        double coordinates[3];
        for (double& value : coordinates) {
            while (at < end && obj::isSpace(*at)) ++at;
            const fast_float::from_chars_result result = fast_float::from_chars(at, end, value);
            if (result.ec != std::errc() || result.ptr == at) return false;
            at = result.ptr;
            if (at < end && !obj::isSpace(*at)) return false;
            if (!(std::fabs(value) <= largestCoordinate)) return false;  // NaN too
        }
        while (at < end && obj::isSpace(*at)) ++at;
        if (at != end) return false;
        points_.push_back({coordinates[0], coordinates[1], coordinates[2]});
        return true;
    }

    bool readPlainFace(const char* at, const char* end) {
        corners_.clear();
        int64_t largest = 0;
        while (true) {
            while (at < end && obj::isSpace(*at)) ++at;
            if (at == end) break;
            int64_t index = 0;
            const std::from_chars_result result = std::from_chars(at, end, index);
            if (result.ec != std::errc() || result.ptr == at) return false;
            at = result.ptr;
            if (at < end && !obj::isSpace(*at)) return false;
            if (index <= 0 || index > INT32_MAX || corners_.size() == maxCorners) return false;
            if (index > largest) largest = index;
            corners_.push_back(static_cast<int32_t>(index - 1));
        }
        if (corners_.size() < 3) return false;
        addFace(largest);
        return true;
    }

    void readPoint(const char* at, const char* end) {
        std::string_view words[maxPointValues];
        size_t count = 0;
        std::string_view word;
        while (obj::nextWord(&at, end, &word)) {
            if (count < maxPointValues) words[count] = word;
            ++count;
        }
        if (count < 3 || count > maxPointValues) {
            failAt(path_, lineNumber_, "a point line needs 3 coordinates (found " +
                                           std::to_string(count) + " values)");
        }
        double coordinates[3] = {0.0, 0.0, 0.0};
        for (size_t i = 0; i < count; ++i) {
            double value = 0.0;
            const std::string_view text = words[i];
            if (!readDecimal(text, &value)) failAt(path_, lineNumber_, quotedBytes(text) + " is not a number");
            if (!std::isfinite(value)) {
                failAt(path_, lineNumber_, "coordinate " + quotedBytes(text) + " is not a finite number");
            }
            if (i < 3 && std::fabs(value) > largestCoordinate) {
                failAt(path_, lineNumber_, "coordinate " + quotedBytes(text) + " is too large (beyond 1e18)");
            }
            if (i < 3) coordinates[i] = value;
        }
        points_.push_back({coordinates[0], coordinates[1], coordinates[2]});
    }

    [[noreturn]] void badCorner(std::string_view corner) {
        failAt(path_, lineNumber_,
               quotedBytes(corner) + " is not a face corner (v, v/vt, v//vn or v/vt/vn)");
    }

    // A corner "v", "v/vt", "v//vn" or "v/vt/vn": its point index as written
    // (negative ones count back from the last point read).
    int64_t cornerIndex(std::string_view corner) {
        std::string_view parts[3];
        size_t count = 0;
        size_t start = 0;
        while (true) {
            const size_t slash = corner.find('/', start);
            if (count == 3) badCorner(corner);
            parts[count++] = corner.substr(start, slash == std::string_view::npos ? slash : slash - start);
            if (slash == std::string_view::npos) break;
            start = slash + 1;
        }
        int64_t index = 0;
        if (!parseWholeNumber(parts[0], &index)) badCorner(corner);
        for (size_t i = 1; i < count; ++i) {
            const bool emptyTexture = i == 1 && count == 3 && parts[1].empty();
            int64_t other = 0;
            if (!emptyTexture && (!parseWholeNumber(parts[i], &other) || other == 0)) badCorner(corner);
        }
        if (index == 0) failAt(path_, lineNumber_, "face index 0 (OBJ indices start at 1)");
        return index;
    }

    void readFace(const char* at, const char* end) {
        const char* const values = at;
        size_t count = 0;
        std::string_view word;
        while (obj::nextWord(&at, end, &word)) ++count;
        if (count < 3) {
            failAt(path_, lineNumber_, "a face needs at least 3 corners (found " +
                                           std::to_string(count) + ")");
        }
        if (count > maxCorners) {
            failAt(path_, lineNumber_, "a face with more than 255 corners is not supported");
        }
        corners_.clear();
        int64_t largest = 0;
        const int64_t pointsSoFar = static_cast<int64_t>(points_.size());
        at = values;
        while (obj::nextWord(&at, end, &word)) {
            const int64_t index = cornerIndex(word);
            if (index < -pointsSoFar) {
                failAt(path_, lineNumber_, "relative face index " + std::to_string(index) +
                                               " reaches before the first point");
            }
            if (index > largest) largest = index;
            // An index past INT32_MAX is out of range whatever follows; it
            // is kept as -1 until finish() refuses it.
            corners_.push_back(index < 0 ? static_cast<int32_t>(pointsSoFar + index)
                               : index <= INT32_MAX ? static_cast<int32_t>(index - 1)
                                                    : -1);
        }
        addFace(largest);
    }

    // The face in corners_, its largest index as written.
    void addFace(int64_t largest) {
        // Positive indices may name points defined further down.
        if (largest > static_cast<int64_t>(points_.size())) forwardFaces_.push_back({lineNumber_, largest});
        if (faces_.rest != nullptr) compareFace();
        if (faces_.built != nullptr) faces_.built->add(corners_.data(), corners_.size());
        ++faceCount_;
    }

    // The first face that is not the rest mesh's is reported once the
    // whole file is read, and only when its point count is the rest
    // mesh's: a pose of another mesh differs in every face, and its point
    // count is what to tell.
    void compareFace() {
        if (!faceMismatch_.empty()) return;
        const MeshData& rest = *faces_.rest;
        const std::string face = std::to_string(faceCount_ + 1);
        if (faceCount_ >= rest.polygons.size()) {
            faceMismatch_ = "face " + face + " of the " + *faces_.role + " is beyond the last face of the rest mesh " +
                            rest.path + " (" + std::to_string(rest.polygons.size()) + " faces)";
            faceMismatchLine_ = lineNumber_;
            return;
        }
        const int32_t* restCorners = rest.polygons.begin(faceCount_);
        const size_t restCount = rest.polygons.count(faceCount_);
        bool same = restCount == corners_.size();
        for (size_t i = 0; same && i < restCount; ++i) same = restCorners[i] == corners_[i];
        if (!same) {
            faceMismatch_ = "face " + face + " of the " + *faces_.role + " differs from face " + face +
                            " of the rest mesh " + rest.path;
            faceMismatchLine_ = lineNumber_;
        }
    }

    void finish() {
        const int64_t points = static_cast<int64_t>(points_.size());
        for (const ForwardFace& face : forwardFaces_) {
            if (face.largestIndex > points) {
                failAt(path_, face.line, "face index " + std::to_string(face.largestIndex) +
                                             " is out of range (the file has " +
                                             std::to_string(points) + " points)");
            }
        }
        if (points == 0) throw FormatError(path_ + ": no points (no 'v' lines)");
        if (faces_.rest == nullptr) return;
        const MeshData& rest = *faces_.rest;
        if (points_.size() != rest.points.size()) {
            throw FormatError(path_ + ": the " + *faces_.role + " has " + std::to_string(points) +
                            " points but the rest mesh " + rest.path + " has " +
                            std::to_string(rest.points.size()) +
                            "; point i of each file must be the same point");
        }
        if (!faceMismatch_.empty()) failAt(path_, faceMismatchLine_, faceMismatch_);
        if (faceCount_ != 0 && faceCount_ != rest.polygons.size()) {
            throw FormatError(path_ + ": the " + *faces_.role + " has " + std::to_string(faceCount_) +
                            " faces but the rest mesh " + rest.path + " has " +
                            std::to_string(rest.polygons.size()));
        }
    }

    struct ForwardFace {
        size_t line;
        int64_t largestIndex;
    };

    const std::string& path_;
    std::vector<Point3>& points_;
    FaceSink faces_;
    size_t lineNumber_ = 0;
    size_t faceCount_ = 0;
    std::vector<int32_t> corners_;
    std::vector<ForwardFace> forwardFaces_;
    std::string faceMismatch_;
    size_t faceMismatchLine_ = 0;
    const char* afterLastPoint_ = nullptr;
    size_t facesAtLastPoint_ = 0;
    ObjMesh::Tail* tail_ = nullptr;
};

// Enough of a file's first bytes to tell every other format by.
constexpr size_t foreignHeadBytes = 32;

// The file's bytes, once it is known to be no other format by name or by
// its first bytes.
void readObjBytes(const std::string& path, FileBytes& bytes) {
    refuseForeignFormat(path);
    bytes.read(path, "an OBJ file");
    refuseForeignFormat(path, bytes.text().substr(0, foreignHeadBytes));
}

void parsePositions(const std::string& path, std::string_view text, const ObjMesh& rest, std::vector<Point3>& out,
                    const std::string& role) {
    FaceSink faces;
    faces.rest = &rest;
    faces.role = &role;
    out.reserve(rest.points.size());
    ObjParser(path, out, faces).parse(text);
}

}  // namespace

ObjMesh readObj(const std::string& path, bool withUvs) {
    ObjMesh mesh;
    mesh.path = path;
    FaceSink faces;
    faces.built = &mesh.polygons;
    FileBytes bytes;
    readObjBytes(path, bytes);
    auto tail = std::make_shared<ObjMesh::Tail>();
    ObjParser parser(path, mesh.points, faces);
    parser.keepTail(tail.get());
    parser.parse(bytes.text());
    mesh.tail = std::move(tail);
    if (withUvs) mesh.uvs = readObjUvs(bytes.text(), mesh.polygons, path);
    return mesh;
}

MeshData readObjPoints(const std::string& path) {
    MeshData mesh;
    mesh.path = path;
    FileBytes bytes;
    readObjBytes(path, bytes);
    ObjParser(path, mesh.points, FaceSink{}).parse(bytes.text());
    return mesh;
}

MeshData readPose(const std::string& path, const ObjMesh& rest, const std::string& role) {
    MeshData pose;
    pose.path = path;
    FileBytes bytes;
    readObjPositions(path, rest, pose.points, bytes, role);
    // Its faces, when it has any, are the rest mesh's.
    pose.polygons = rest.polygons;
    return pose;
}

void readObjPositions(const std::string& path, const ObjMesh& rest, std::vector<Point3>& out,
                      FileBytes& bytes, const std::string& role) {
    readObjBytes(path, bytes);
    parsePositions(path, bytes.text(), rest, out, role);
}

void readObjPositions(const std::string& path, std::string_view text, const ObjMesh& rest,
                      std::vector<Point3>& out, const std::string& role) {
    refuseForeignFormat(path, text.substr(0, foreignHeadBytes));
    parsePositions(path, text, rest, out, role);
}

}  // namespace kestrin::formats

#include "page/shot_page.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "files/atomic_file.h"
#include "files/base64.h"
#include "files/colour_map.h"
#include "files/format_error.h"
#include "mesh/triangulation.h"
#include "page/packed_words.h"
#include "page/page_assets.h"

namespace kestrin::formats {
namespace {

// Every tenth frame's codes stand alone, predicted by point rather than by
// the frame before: a page opened at a frame reads at most ten frames before
// showing it.
constexpr size_t keyFrameInterval = 10;

// What a page costs, once packed and in base64: bytes a point a frame
// (bench/page's shot of 500,000 points and 30 frames takes 3.6 for
// positions and weights; a morph's moving displacement adds to that) and a
// triangle (a regular grid's take far less, a scan's more).
constexpr double weightBytesPerPointFrame = 3.6;
constexpr double morphBytesPerPointFrame = 5.0;
// What each further weight set of a page of several adds: 0.55 on a bent
// tube of 90,000 points, 10 frames, three measures; more allowed for the
// rougher weights of a scanned mesh (2.7 were its codes incompressible).
constexpr double weightSetBytesPerPointFrame = 1.5;
constexpr double triangleBytes = 2.0;

constexpr std::string_view dataMarker = "<!--kestrin:data-->";
constexpr std::string_view scriptsMarker = "<!--kestrin:scripts-->";

// Shortest text that reads back as the same double; JSON has no NaN or
// infinity, so those become null.
void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void appendTriple(std::string& out, const double (&values)[3]) {
    out += '[';
    for (int axis = 0; axis < 3; ++axis) {
        if (axis > 0) out += ',';
        appendNumber(out, values[axis]);
    }
    out += ']';
}

double coordinate(const Point3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// The points' box; returns whether every coordinate is finite (none are
// when there are no points).
bool boundingBox(const std::vector<Point3>& positions, double (&low)[3], double (&high)[3]) {
    bool finite = !positions.empty();
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = INFINITY;
        high[axis] = -INFINITY;
    }
    for (const Point3& p : positions) {
        for (int axis = 0; axis < 3; ++axis) {
            const double value = coordinate(p, axis);
            finite = finite && std::isfinite(value);
            low[axis] = std::fmin(low[axis], value);
            high[axis] = std::fmax(high[axis], value);
        }
    }
    return finite;
}

// {"min":[x,y,z],"max":[x,y,z]}, without the braces.
void appendBox(std::string& out, const double (&low)[3], const double (&high)[3]) {
    out += "\"min\":";
    appendTriple(out, low);
    out += ",\"max\":";
    appendTriple(out, high);
}

// A JSON string of `text`, quoted.
std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// "[r,g,b]", a colour of the map as the viewer takes it.
std::string rgbText(const Rgb& colour) {
    return "[" + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
           std::to_string(colour.blue) + "]";
}

// The page's template split at the data marker: what goes before the frames
// and what goes after the index.
std::string_view templateHead() {
    const std::string_view page = page_assets::pageHtml;
    return page.substr(0, page.find(dataMarker));
}

std::string templateTail() {
    std::string_view tail = page_assets::pageHtml;
    tail.remove_prefix(tail.find(dataMarker) + dataMarker.size());
    const size_t scripts = tail.find(scriptsMarker);
    std::string out(tail.substr(0, scripts));
    for (std::string_view script : {page_assets::threeScript, page_assets::orbitScript, page_assets::pageDataScript,
                                    page_assets::heatColoursScript, page_assets::cameraFramingScript,
                                    page_assets::sceneScript, page_assets::viewerScript}) {
        out += "<script>\n";
        out += script;
        out += "\n</script>\n";
    }
    out += tail.substr(scripts + scriptsMarker.size());
    return out;
}

}  // namespace

ShotPage::ShotPage(std::string path, const std::vector<Point3>& points, const Polygons& polygons, ShotKind kind,
                   double rate, std::vector<MeasureName> measures)
    : path_(std::move(path)),
      pointCount_(points.size()),
      kind_(kind),
      rate_(rate > 0.0 && std::isfinite(rate) ? rate : 24.0),
      measures_(std::move(measures)),
      weightHistory_(std::max<size_t>(measures_.size(), 1)) {
    for (const int32_t point : polygons.vertices) {
        if (point < 0 || static_cast<size_t>(point) >= pointCount_) {
            throw FormatError(path_ + ": a face names point " + std::to_string(point) + " of a mesh with " +
                              std::to_string(pointCount_) + " points");
        }
    }
    std::vector<uint32_t> triangles = triangulate(points.data(), polygons);
    for (uint32_t& corner : triangles) corner = static_cast<uint32_t>(polygons.vertices[corner]);
    triangleCount_ = triangles.size() / 3;
    const int descriptor = createTemporary(path_, temporary_);
    file_ = fdopen(descriptor, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        ::close(descriptor);
        removeTemporary(temporary_);
        throw FormatError(path_ + ": cannot write: " + std::strerror(error));
    }
    try {
        put(templateHead());
        // Each corner predicted by the one before: neighbouring faces share
        // points, so differences stay small.
        trianglesEntry_ = packedEntry<uint32_t>(triangles, nullptr);
    } catch (...) {
        // No destructor runs for a constructor that throws.
        std::fclose(file_);
        file_ = nullptr;
        removeTemporary(temporary_);
        throw;
    }
}

ShotPage::~ShotPage() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    removeTemporary(temporary_);
}

void ShotPage::put(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        throw FormatError(path_ + ": cannot write: " + std::strerror(errno));
    }
}

// Returns the block's id, which the index refers to. A comment rather than
// an inert script element: the browser's HTML parser scans a comment about
// twice as fast, which is most of the time a page of a hundred megabytes
// takes to open; base64 never holds the "--" that would end it early.
std::string ShotPage::writeBlock(const std::string& packed) {
    const std::string id = "kestrin-block-" + std::to_string(blockCount_++);
    std::string text = "<!--" + id + " ";
    appendBase64(text, packed.data(), packed.size());
    text += "-->\n";
    put(text);
    return id;
}

// Packs words into a block (packed_words.h) and returns the index's fields
// for it: its block and how its words are predicted.
template <typename Word>
std::string ShotPage::packedEntry(const std::vector<Word>& words, const Word* previous) {
    std::string packed;
    try {
        packed = packWords(words.data(), words.size(), previous);
    } catch (const FormatError& error) {
        throw FormatError(path_ + ": " + error.what());
    }
    return "\"block\":\"" + writeBlock(packed) + "\",\"predict\":\"" +
           (previous != nullptr ? "frame" : "point") + '"';
}

// float32 x 3 per point, axis by axis (every x, then every y, then every z),
// as their bits.
std::string ShotPage::floatTriplesEntry(const std::vector<double>& values) {
    std::vector<uint32_t> bits(values.size());
    const size_t count = values.size() / 3;
    for (size_t i = 0; i < count; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            const float value = static_cast<float>(values[i * 3 + axis]);
            std::memcpy(&bits[axis * count + i], &value, sizeof value);
        }
    }
    return "\"encoding\":\"f32\"," + packedEntry<uint32_t>(bits, nullptr);
}

bool ShotPage::keyFrame() const { return frames_.size() % keyFrameInterval == 0; }

// Quantises to 16 bits a coordinate on the frame's box when that keeps every
// point within a thousandth of the box's largest side (always, for finite
// positions: the step is 1/65535 of a side); float32 otherwise. The codes
// lie axis by axis, each predicted by the previous frame's when that frame
// was quantised too: a point that moved little changes its codes little.
std::string ShotPage::positionsEntry(const std::vector<Point3>& positions) {
    double low[3], high[3];
    const bool finite = boundingBox(positions, low, high);
    const size_t count = positions.size();

    bool quantised = finite;
    std::vector<uint16_t> codes;
    if (finite) {
        const double largest = std::fmax(high[0] - low[0], std::fmax(high[1] - low[1], high[2] - low[2]));
        codes.resize(count * 3);
        for (size_t i = 0; i < count && quantised; ++i) {
            for (int axis = 0; axis < 3; ++axis) {
                const double extent = high[axis] - low[axis];
                const double value = coordinate(positions[i], axis);
                const long code = extent > 0.0 ? std::lround((value - low[axis]) / extent * 65535.0) : 0;
                codes[axis * count + i] = static_cast<uint16_t>(code);
                // The page decodes exactly so, then draws in float32.
                const float decoded = static_cast<float>(low[axis] + code * (extent / 65535.0));
                if (std::fabs(decoded - value) > largest * 1e-3) quantised = false;
            }
        }
    }

    std::string entry = "{";
    if (quantised) {
        const bool predicted = !lastPositionCodes_.empty() && !keyFrame();
        entry += "\"encoding\":\"u16\"," + packedEntry(codes, predicted ? lastPositionCodes_.data() : nullptr);
        lastPositionCodes_ = std::move(codes);
    } else {
        std::vector<double> values(count * 3);
        for (size_t i = 0; i < count; ++i) {
            for (int axis = 0; axis < 3; ++axis) values[i * 3 + axis] = coordinate(positions[i], axis);
        }
        entry += floatTriplesEntry(values);
        lastPositionCodes_.clear();
    }
    entry += ',';
    appendBox(entry, low, high);
    entry += '}';
    return entry;
}

// Quantises each point's move from `from` to `to` to 16 signed bits on the
// frame's largest move along each axis, symmetric about 0 so that a point
// that did not move gets code 0 and reads back exactly 0: the still part of
// a mesh draws without colour and shows "moved 0" (two positions quantised
// each on its own box would give it up to half a step of each box). Every
// other coordinate is within half a step, 1/65534 of its axis's largest
// move. float32 when a move is not finite. Codes lie axis by axis.
std::string ShotPage::displacementEntry(const std::vector<Point3>& from, const std::vector<Point3>& to) {
    std::vector<double> moves(from.size() * 3);
    double scale[3] = {0.0, 0.0, 0.0};
    bool finite = true;
    for (size_t i = 0; i < from.size(); ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            const double move = coordinate(to[i], axis) - coordinate(from[i], axis);
            moves[i * 3 + axis] = move;
            finite = finite && std::isfinite(move);
            scale[axis] = std::fmax(scale[axis], std::fabs(move));
        }
        const double length = std::hypot(moves[i * 3], moves[i * 3 + 1], moves[i * 3 + 2]);
        if (std::isfinite(length)) largestMove_ = std::fmax(largestMove_, length);
    }

    std::string entry = "{";
    if (finite) {
        const size_t count = from.size();
        std::vector<uint16_t> codes(moves.size());
        for (size_t i = 0; i < moves.size(); ++i) {
            const double axisScale = scale[i % 3];
            const long code = axisScale > 0.0 ? std::lround(moves[i] / axisScale * 32767.0) : 0;
            codes[(i % 3) * count + i / 3] = static_cast<uint16_t>(static_cast<int16_t>(code));
        }
        entry += "\"encoding\":\"s16\"," + packedEntry<uint16_t>(codes, nullptr);
    } else {
        entry += floatTriplesEntry(moves);
    }
    entry += ",\"scale\":";
    appendTriple(entry, scale);
    entry += '}';
    return entry;
}

// Signed 16-bit codes on the frame's colour range, code * range / 32767,
// -32768 for a weight that is not a number: within 1/65534 of the range of
// the tool's value, far inside one step of the 8-bit colour it is drawn in.
// float32 when a weight is infinite. Predicted by the previous frame's
// codes of the same set when they share the range.
std::string ShotPage::weightsEntry(const std::vector<float>& weights, WeightHistory& history) {
    const float range = colourRange(weights);
    std::vector<uint16_t> codes(weights.size());
    bool finite = true;
    for (size_t i = 0; i < weights.size() && finite; ++i) {
        const float weight = weights[i];
        finite = !std::isinf(weight);
        const long code = std::isnan(weight) ? -32768 : std::lround(static_cast<double>(weight) / range * 32767.0);
        codes[i] = static_cast<uint16_t>(static_cast<int16_t>(code));
    }
    std::string entry = "{";
    if (finite) {
        const bool predicted = !history.codes.empty() && history.range == range && !keyFrame();
        entry += "\"encoding\":\"i16\"," + packedEntry(codes, predicted ? history.codes.data() : nullptr);
        history.codes = std::move(codes);
        history.range = range;
    } else {
        std::vector<uint32_t> bits(weights.size());
        std::memcpy(bits.data(), weights.data(), weights.size() * sizeof(float));
        entry += "\"encoding\":\"f32\"," + packedEntry<uint32_t>(bits, nullptr);
        history.codes.clear();
    }
    entry += ",\"range\":";
    appendNumber(entry, range);
    entry += '}';
    return entry;
}

// The set's entry for this frame: the last frame's again when its weights
// are the same, so that both share a block.
const std::string& ShotPage::weightsField(const std::vector<float>& weights, WeightHistory& history) {
    if (history.entry.empty() || history.weights.size() != weights.size() ||
        std::memcmp(history.weights.data(), weights.data(), weights.size() * sizeof(float)) != 0) {
        history.entry = weightsEntry(weights, history);
        history.weights = weights;
    }
    return history.entry;
}

// Throws unless the frame fits the page: its mesh's points, a weight each
// (or none), corrected positions for a morph page and only there.
void ShotPage::checkFrame(const std::vector<Point3>& positions, const std::vector<float>& weights,
                          const std::vector<Point3>* corrected) const {
    if (file_ == nullptr) throw FormatError(path_ + ": frame added to a finished page");
    const bool wantCorrected = kind_ == ShotKind::morph;
    if (positions.size() != pointCount_ || (!weights.empty() && weights.size() != pointCount_) ||
        (corrected != nullptr) != wantCorrected ||
        (corrected != nullptr && corrected->size() != pointCount_)) {
        throw FormatError(path_ + ": frame " + std::to_string(frames_.size() + 1) +
                        " does not match the mesh of " + std::to_string(pointCount_) + " points");
    }
}

void ShotPage::addFrame(int number, const std::vector<Point3>& positions, const std::vector<float>& weights,
                        const std::vector<Point3>* corrected) {
    checkFrame(positions, weights, corrected);
    if (!measures_.empty()) throw FormatError(path_ + ": a page of several weight sets given one");
    std::string entry = "{\"frame\":" + std::to_string(number) + ",\"pose\":" + positionsEntry(positions);
    if (corrected != nullptr) {
        entry += ",\"displacement\":" + displacementEntry(positions, *corrected) + ",\"corrected\":{";
        double low[3], high[3];
        boundingBox(*corrected, low, high);
        appendBox(entry, low, high);
        entry += '}';
    }
    entry += ",\"weights\":" + (weights.empty() ? std::string("null") : weightsField(weights, weightHistory_[0]));
    entry += '}';
    frames_.push_back(std::move(entry));
}

void ShotPage::addMeasures(int number, const std::vector<Point3>& positions,
                           const std::vector<std::vector<float>>& measures) {
    if (measures.size() != measures_.size() || measures.empty()) {
        throw FormatError(path_ + ": " + std::to_string(measures.size()) + " weight sets given to a page of " +
                          std::to_string(measures_.size()));
    }
    checkFrame(positions, {}, nullptr);
    for (const std::vector<float>& weights : measures) {
        if (weights.size() != pointCount_) {
            throw FormatError(path_ + ": frame " + std::to_string(frames_.size() + 1) + ": a weight set of " +
                              std::to_string(weights.size()) + " for a mesh of " + std::to_string(pointCount_) +
                              " points");
        }
    }
    std::string entry = "{\"frame\":" + std::to_string(number) + ",\"pose\":" + positionsEntry(positions);
    std::string sets;
    for (size_t set = 0; set < measures.size(); ++set) {
        sets += (set > 0 ? "," : "") + jsonText(measures_[set].name) + ":" +
                weightsField(measures[set], weightHistory_[set]);
    }
    entry += ",\"weights\":" + weightHistory_[0].entry + ",\"measures\":{" + sets + "}}";
    frames_.push_back(std::move(entry));
}

std::string ShotPage::finishStaged() {
    if (file_ == nullptr) throw FormatError(path_ + ": page finished twice");
    std::string index = "<script type=\"application/json\" id=\"kestrin-shot\">{\"format\":\"kestrin-shot\","
                        "\"version\":2,\"kind\":\"";
    index += kind_ == ShotKind::morph ? "morph" : "weights";
    index += "\",\"points\":" + std::to_string(pointCount_) +
             ",\"triangles\":{" + trianglesEntry_ + ",\"count\":" +
             std::to_string(triangleCount_) + "},\"rate\":";
    appendNumber(index, rate_);
    index += ",\"largestMove\":";
    appendNumber(index, largestMove_);
    index += ",\"colours\":{\"squash\":" + rgbText(squashColour) + ",\"stretch\":" + rgbText(stretchColour) +
             ",\"notANumber\":" + rgbText(notANumberColour) + "}";
    if (!measures_.empty()) {
        index += ",\"measures\":[";
        for (size_t set = 0; set < measures_.size(); ++set) {
            index += std::string(set > 0 ? "," : "") + "{\"name\":" + jsonText(measures_[set].name) +
                     ",\"help\":" + jsonText(measures_[set].help) + "}";
        }
        index += "]";
    }
    index += ",\"frames\":[\n";
    for (size_t i = 0; i < frames_.size(); ++i) index += frames_[i] + (i + 1 < frames_.size() ? ",\n" : "\n");
    index += "]}</script>\n";
    put(index);
    put(templateTail());
    FILE* file = file_;
    file_ = nullptr;
    // Flushed to storage before it may be renamed into place (atomic_file.h).
    int error = 0;
    if (std::fflush(file) != 0 || (::fdatasync(fileno(file)) != 0 && errno != EINVAL)) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (error != 0) {
        removeTemporary(temporary_);
        throw FormatError(path_ + ": cannot write: " + std::strerror(error));
    }
    return temporary_;
}

void ShotPage::finish() { renameIntoPlace(finishStaged(), path_); }

namespace {

class PageShot : public ShotWriter {
public:
    PageShot(const std::string& path, const ShotLayout& layout, ShotKind kind)
        : page_(path, layout.rest.points, layout.rest.polygons, kind, 24.0,
                kind == ShotKind::weights ? layout.measures : std::vector<MeasureName>()) {}
    void append(const PoseFrame& frame) override {
        if (frame.measures != nullptr) {
            page_.addMeasures(frame.number, frame.pose.points, *frame.measures);
            return;
        }
        static const std::vector<float> none;
        page_.addFrame(frame.number, frame.pose.points, frame.weights != nullptr ? *frame.weights : none,
                       frame.corrected != nullptr ? &frame.corrected->points : nullptr);
    }
    std::string finishStaged() override { return page_.finishStaged(); }

private:
    ShotPage page_;
};

}  // namespace

std::string pageSizeWarning(const std::string& name, const ShotLayout& layout, ShotKind kind) {
    // Bytes a point a frame and a triangle, as bench/page's shot packs
    // them, base64 included, and the viewer's scripts.
    const size_t furtherSets = kind == ShotKind::weights ? std::max<size_t>(layout.measures.size(), 1) - 1 : 0;
    const double perPointFrame = (kind == ShotKind::morph ? morphBytesPerPointFrame : weightBytesPerPointFrame) +
                                 weightSetBytesPerPointFrame * static_cast<double>(furtherSets);
    size_t triangles = 0;
    for (size_t polygon = 0; polygon < layout.rest.polygons.size(); ++polygon) {
        triangles += std::max<size_t>(layout.rest.polygons.count(polygon), 2) - 2;
    }
    const double points = static_cast<double>(layout.rest.points.size());
    const double once = static_cast<double>(page_assets::threeScript.size()) + triangleBytes * triangles;
    const double perFrame = perPointFrame * points;
    const double estimate = once + perFrame * static_cast<double>(layout.poseCount);
    if (estimate <= pageBudgetBytes) return {};
    const long fits = std::max(1L, std::lround(std::floor((pageBudgetBytes - once) / perFrame)));
    char text[512];
    std::snprintf(text, sizeof text,
                  "%s: a page of %zu frames of %.0f points comes to about %.0f MB, more than the %.0f MB a "
                  "browser opens readily; write about %ld frames to a page (--frames 1-%ld, then %ld-%ld, ...)",
                  name.c_str(), layout.poseCount, points, estimate / 1e6, pageBudgetBytes / 1e6, fits, fits,
                  fits + 1, 2 * fits);
    return text;
}

std::unique_ptr<ShotWriter> weightsPage(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<PageShot>(path, layout, ShotKind::weights);
}

std::unique_ptr<ShotWriter> morphPage(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<PageShot>(path, layout, ShotKind::morph);
}

}  // namespace kestrin::formats

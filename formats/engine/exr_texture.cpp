#include "engine/exr_texture.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "cache/cache_file.h"
#include "files/atomic_file.h"
#include "files/file_bytes.h"
#include "files/format_error.h"
#include "files/number_text.h"
#include "files/temporary_files.h"

#ifdef KESTRIN_WITH_OPENEXR
#include <Imath/half.h>
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfIO.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfStringAttribute.h>
#include <OpenEXR/ImfVecAttribute.h>
#endif

namespace kestrin::formats {

#ifdef KESTRIN_WITH_OPENEXR

namespace {

const char* contentName(TextureContent content) {
    switch (content) {
        case TextureContent::tension: return "tension";
        case TextureContent::displacement: return "displacement";
        case TextureContent::position: return "position";
        case TextureContent::measures: return "measures";
    }
    return "";
}

// "R: along, G: across, B: area (each the signed weight of that measure)".
std::string measuresMeaning(const std::vector<MeasureName>& measures) {
    std::string text;
    const char* channels[3] = {"R", "G", "B"};
    for (size_t c = 0; c < 3; ++c) {
        text += std::string(c > 0 ? ", " : "") + channels[c] + ": " + (c < measures.size() ? measures[c].name : "0");
    }
    return text + " (each the signed weight of that measure)";
}

const char* channelMeaning(TextureContent content) {
    switch (content) {
        case TextureContent::tension:
            return "R: stretch (the weight where positive, else 0); G: squash (minus the weight where "
                   "negative, else 0); B: the signed weight";
        case TextureContent::displacement:
            return "R, G, B: x, y, z of the corrected position minus the pose position";
        case TextureContent::position: return "R, G, B: x, y, z of the corrected position";
        case TextureContent::measures: break;
    }
    return "";
}

// (smallest, largest) of each channel. Pairs, not two v3f attributes,
// because three.js's EXR loader reads no v3f.
constexpr const char* rangeNames[3] = {"kestrin.rangeR", "kestrin.rangeG", "kestrin.rangeB"};

constexpr const char* layoutText =
    "point p of frame f (0-based, the first at startFrame): column p % width, row f * rowsPerFrame + "
    "p / width, rows counted from the top; texels past the last point hold 0";

// OpenEXR's output to the temporary's own descriptor: it never opens the
// file again by its name, which someone could have swapped for a link.
class DescriptorStream : public Imf::OStream {
public:
    DescriptorStream(const std::string& path, int descriptor) : Imf::OStream(path.c_str()), descriptor_(descriptor) {}
    void write(const char bytes[], int count) override {
        size_t left = static_cast<size_t>(count);
        while (left > 0) {
            const ssize_t put = ::pwrite(descriptor_, bytes, left, static_cast<off_t>(at_));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) throw std::runtime_error("cannot write: " + systemReason(put < 0 ? errno : EIO));
            bytes += put;
            at_ += static_cast<uint64_t>(put);
            left -= static_cast<size_t>(put);
        }
    }
    uint64_t tellp() override { return at_; }
    void seekp(uint64_t at) override { at_ = at; }

private:
    int descriptor_;
    uint64_t at_ = 0;
};

// Overwrites the values of the range attributes (8 bytes each, in
// rangeNames order, `values` holding all three) in the header of the OpenEXR
// file open at `descriptor`: the header is walked attribute by attribute
// (name, type, size, value) from byte 8 to the empty name that ends it.
void rewriteHeaderValues(int descriptor, const std::string& path, const std::vector<unsigned char>& values) {
    std::vector<char> header(64 * 1024);
    const ssize_t got = ::pread(descriptor, header.data(), header.size(), 0);
    size_t at = 8;
    int found = 0;
    bool written = got > 0;
    while (written && found < 3) {
        // The NUL-ended text at `at`, moving past it; "" past the bytes read.
        const auto field = [&]() -> std::string {
            const size_t left = at < static_cast<size_t>(got) ? static_cast<size_t>(got) - at : 0;
            const char* begin = header.data() + at;
            const char* end = static_cast<const char*>(std::memchr(begin, '\0', left));
            if (end == nullptr) return {};
            at += static_cast<size_t>(end - begin) + 1;
            return std::string(begin, static_cast<size_t>(end - begin));
        };
        const std::string name = field();
        if (name.empty()) break;
        const std::string type = field();
        if (at + 4 > static_cast<size_t>(got)) break;
        const uint32_t size = loadWord(reinterpret_cast<const unsigned char*>(header.data() + at), ByteOrder::little);
        at += 4;
        for (int c = 0; c < 3; ++c) {
            if (name == rangeNames[c] && type == "v2f" && size == 8) {
                written = ::pwrite(descriptor, values.data() + c * 8, 8, static_cast<off_t>(at)) == 8;
                ++found;
            }
        }
        at += size;
    }
    const int error = errno;
    if (found != 3 || !written) {
        throw FormatError(path + ": cannot record the value ranges in the header (" +
                        (written ? std::string("attributes not found") : systemReason(error)) + ")");
    }
}

}  // namespace

struct ExrTexture::Open {
    Imf::Header header;
    int descriptor = -1;
    std::unique_ptr<DescriptorStream> stream;
    std::unique_ptr<Imf::OutputFile> file;  // before the stream it writes to goes
};

ExrTexture::ExrTexture(std::string path, const TextureLayout& layout, TextureContent content, float startFrame,
                       const std::vector<MeasureName>& measures)
    : path_(std::move(path)), layout_(layout), content_(content),
      open_(std::make_unique<Open>()), frameBits_(layout.width * layout.rowsPerFrame * 3, 0) {
    for (int c = 0; c < 3; ++c) low_[c] = INFINITY, high_[c] = -INFINITY;
    Imf::Header& header = open_->header;
    header = Imf::Header(static_cast<int>(layout.width), static_cast<int>(layout.rows()));
    header.compression() = Imf::RLE_COMPRESSION;
    header.lineOrder() = Imf::INCREASING_Y;
    for (const char* channel : {"R", "G", "B"}) header.channels().insert(channel, Imf::Channel(Imf::HALF));
    header.insert("kestrin.content", Imf::StringAttribute(contentName(content)));
    const bool sets = content == TextureContent::measures;
    header.insert("kestrin.channels", Imf::StringAttribute(sets ? measuresMeaning(measures) : channelMeaning(content)));
    if (sets) {
        std::string names;
        for (const MeasureName& measure : measures) names += (names.empty() ? "" : ",") + measure.name;
        header.insert("kestrin.measures", Imf::StringAttribute(names));
    }
    header.insert("kestrin.layout", Imf::StringAttribute(layoutText));
    header.insert("kestrin.points", Imf::IntAttribute(static_cast<int>(layout.points)));
    header.insert("kestrin.frames", Imf::IntAttribute(static_cast<int>(layout.frames)));
    header.insert("kestrin.width", Imf::IntAttribute(static_cast<int>(layout.width)));
    header.insert("kestrin.rowsPerFrame", Imf::IntAttribute(static_cast<int>(layout.rowsPerFrame)));
    header.insert("kestrin.startFrame", Imf::FloatAttribute(startFrame));
    // Placeholders of the final size, rewritten by finishStaged().
    for (const char* range : rangeNames) header.insert(range, Imf::V2fAttribute(Imath::V2f(0.0f)));

    open_->descriptor = createTemporary(path_, temporary_);
    try {
        open_->stream = std::make_unique<DescriptorStream>(path_, open_->descriptor);
        open_->file = std::make_unique<Imf::OutputFile>(*open_->stream, header);
    } catch (const std::exception& failure) {
        ::close(open_->descriptor);
        removeTemporary(temporary_);
        throw FormatError(path_ + ": " + failure.what());
    }
}

ExrTexture::~ExrTexture() {
    if (open_ == nullptr) return;
    try {
        open_->file.reset();
    } catch (...) {
        // The file is being thrown away; how its closing went does not matter.
    }
    ::close(open_->descriptor);
    removeTemporary(temporary_);
}

void ExrTexture::put(size_t point, float r, float g, float b) {
    const float values[3] = {r, g, b};
    uint16_t* texel = frameBits_.data() + point * 3;
    for (int c = 0; c < 3; ++c) {
        if (!(std::fabs(values[c]) <= halfLargest)) {
            throw FormatError(path_ + ": frame " + std::to_string(frame_ + 1) + ", point " + std::to_string(point) +
                            ": " + shortestText(values[c]) +
                            " does not fit a half float (largest 65504); nothing written");
        }
        const half bits(values[c]);
        texel[c] = bits.bits();
        low_[c] = std::fmin(low_[c], static_cast<float>(bits));
        high_[c] = std::fmax(high_[c], static_cast<float>(bits));
    }
}

void ExrTexture::append(const PoseFrame& frame) {
    if (content_ == TextureContent::tension) {
        addWeights(frame.weights->data());
    } else if (content_ == TextureContent::measures) {
        addMeasures(*frame.measures);
    } else {
        addPositions(frame.pose.points.data(), frame.corrected->points.data());
    }
}

void ExrTexture::addWeights(const float* weights) {
    for (size_t i = 0; i < layout_.points; ++i) {
        const float w = weights[i];
        put(i, w > 0.0f ? w : 0.0f, w < 0.0f ? -w : 0.0f, w);
    }
    writeFrame();
}

void ExrTexture::addMeasures(const std::vector<std::vector<float>>& sets) {
    const auto set = [&](size_t c, size_t i) { return c < sets.size() ? sets[c][i] : 0.0f; };
    for (size_t i = 0; i < layout_.points; ++i) put(i, set(0, i), set(1, i), set(2, i));
    writeFrame();
}

void ExrTexture::addPositions(const Point3* pose, const Point3* corrected) {
    const bool moved = content_ == TextureContent::displacement;
    for (size_t i = 0; i < layout_.points; ++i) {
        const Point3& to = corrected[i];
        const Point3 from = moved ? pose[i] : Point3{0.0, 0.0, 0.0};
        put(i, static_cast<float>(to.x - from.x), static_cast<float>(to.y - from.y),
            static_cast<float>(to.z - from.z));
    }
    writeFrame();
}

void ExrTexture::writeFrame() {
    if (frame_ == layout_.frames) {
        throw FormatError(path_ + ": more frames than the " + std::to_string(layout_.frames) + " declared");
    }
    const size_t texel = 3 * sizeof(uint16_t);
    const int firstRow = static_cast<int>(frame_ * layout_.rowsPerFrame);
    const Imath::V2i origin(0, firstRow);
    Imf::FrameBuffer buffer;
    const char* names[3] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
        buffer.insert(names[c], Imf::Slice::Make(Imf::HALF, frameBits_.data() + c, origin,
                                                 static_cast<int64_t>(layout_.width),
                                                 static_cast<int64_t>(layout_.rowsPerFrame), texel,
                                                 texel * layout_.width));
    }
    try {
        open_->file->setFrameBuffer(buffer);
        open_->file->writePixels(static_cast<int>(layout_.rowsPerFrame));
    } catch (const std::exception& failure) {
        throw FormatError(path_ + ": " + failure.what());
    }
    ++frame_;
}

std::string ExrTexture::finishStaged() {
    if (frame_ != layout_.frames) {
        throw FormatError(path_ + ": " + std::to_string(frame_) + " of " + std::to_string(layout_.frames) +
                        " frames written");
    }
    try {
        open_->file.reset();
    } catch (const std::exception& failure) {
        throw FormatError(path_ + ": " + failure.what());
    }
    // The ranges are known only now; their placeholders in the header have
    // the final size, so the header's bytes are rewritten where they lie.
    // (OpenEXR 3.1's in-place header update refuses scanline files.)
    std::vector<unsigned char> values(3 * 8);
    for (int c = 0; c < 3; ++c) {
        const float range[2] = {low_[c], high_[c]};
        for (int i = 0; i < 2; ++i) storeFloat(values.data() + c * 8 + i * 4, range[i], ByteOrder::little);
    }
    rewriteHeaderValues(open_->descriptor, path_, values);
    const int descriptor = open_->descriptor;
    open_.reset();
    finishTemporary(descriptor, temporary_, path_);
    return temporary_;
}

#else  // built without OpenEXR

struct ExrTexture::Open {};

ExrTexture::ExrTexture(std::string path, const TextureLayout& layout, TextureContent content, float,
                       const std::vector<MeasureName>&)
    : path_(std::move(path)), layout_(layout), content_(content) {
    throw FormatError(path_ + ": this build of kestrin writes no .exr files (it was built without OpenEXR)");
}
ExrTexture::~ExrTexture() = default;
void ExrTexture::append(const PoseFrame&) {}
std::string ExrTexture::finishStaged() { return temporary_; }

#endif

std::unique_ptr<ShotWriter> exrWeightsShot(const std::string& path, const ShotLayout& layout) {
    if (layout.measures.size() > 3) {
        throw FormatError(path + ": an .exr holds three measures, in R, G and B, not " +
                          std::to_string(layout.measures.size()) +
                          ": give at most three --direction with an .exr output");
    }
    return std::make_unique<ExrTexture>(path, textureLayout(layout.rest.points.size(), layout.poseCount, path),
                                        layout.measures.empty() ? TextureContent::tension : TextureContent::measures,
                                        static_cast<float>(layout.frames.front()), layout.measures);
}

std::unique_ptr<ShotWriter> exrMeshShot(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<ExrTexture>(path, textureLayout(layout.rest.points.size(), layout.poseCount, path),
                                        layout.texturePositions ? TextureContent::position
                                                                : TextureContent::displacement,
                                        static_cast<float>(layout.frames.front()));
}

}  // namespace kestrin::formats

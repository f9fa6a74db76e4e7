#include "cache/npy_writer.h"

#include <algorithm>
#include <cmath>

#include "files/atomic_file.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

constexpr size_t alignment = 64;
// "\x93NUMPY", version 1.0, then the header length as a little-endian uint16.
constexpr size_t preambleBytes = 10;

}  // namespace

std::string npyHeader(size_t poses, size_t points) {
    std::string dictionary = "{'descr': '<f4', 'fortran_order': False, 'shape': (" +
                             std::to_string(poses) + ", " + std::to_string(points) + "), }";
    // Spaces, then the newline that ends the header, fill it to the alignment.
    const size_t unpadded = preambleBytes + dictionary.size() + 1;
    dictionary.append((alignment - unpadded % alignment) % alignment, ' ');
    dictionary += '\n';
    const size_t length = dictionary.size();
    std::string header("\x93NUMPY\x01\x00", 8);
    header += static_cast<char>(length & 0xff);
    header += static_cast<char>(length >> 8);
    return header + dictionary;
}

NpyWriter::NpyWriter(const std::string& path, size_t poses, size_t points)
    : file_(path), poses_(poses), points_(points) {
    const std::string header = npyHeader(poses, points);
    file_.append(header.data(), header.size());
}

void NpyWriter::appendRow(const float* values) {
    if (written_ == poses_) {
        throw FormatError(file_.path() + ": more rows than the " + std::to_string(poses_) + " declared");
    }
    unsigned char slice[4096 * 4];
    size_t done = 0;
    for (size_t i = 0; i < points_; ++i) {
        if (!std::isfinite(values[i])) {
            throw FormatError(file_.path() + ": pose " + std::to_string(written_) + ", point " +
                            std::to_string(i) + ": weight is not a finite number; nothing written");
        }
    }
    while (done < points_) {
        const size_t count = std::min<size_t>(points_ - done, 4096);
        for (size_t i = 0; i < count; ++i) storeFloat(slice + 4 * i, values[done + i], ByteOrder::little);
        file_.append(slice, count * 4);
        done += count;
    }
    ++written_;
}

std::string NpyWriter::finishStaged() {
    if (written_ != poses_) {
        throw FormatError(file_.path() + ": " + std::to_string(written_) + " of " +
                        std::to_string(poses_) + " rows written");
    }
    return file_.finishStaged();
}

void NpyWriter::finish() { renameIntoPlace(finishStaged(), file_.path()); }

namespace {

class NpyShot : public ShotWriter {
public:
    NpyShot(const std::string& path, const ShotLayout& layout)
        : writer_(path, layout.poseCount, layout.rest.points.size()) {}
    void append(const PoseFrame& frame) override { writer_.appendRow(frame.weights->data()); }
    std::string finishStaged() override { return writer_.finishStaged(); }

private:
    NpyWriter writer_;
};

}  // namespace

std::unique_ptr<ShotWriter> npyShot(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<NpyShot>(path, layout);
}

}  // namespace kestrin::formats

#include "caches.h"

#include <pybind11/numpy.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "files/format_error.h"
#include "cache/mdd.h"
#include "cache/npy_writer.h"
#include "cache/pc2.h"
#include "pose_input.h"
#include "pose_stream.h"

namespace py = pybind11;

namespace kestrin::python {
namespace {

bool isMdd(const std::string& kind) {
    if (kind != "mdd" && kind != "pc2") throw std::invalid_argument("a point cache is .mdd or .pc2, not ." + kind);
    return kind == "mdd";
}

// The header checked against the file's size, as the tool checks it:
// (frames, points, offset of the first frame's points, big-endian).
py::tuple header(const std::string& path, const std::string& kind) {
    size_t frames = 0;
    size_t points = 0;
    {
        py::gil_scoped_release unlocked;
        if (isMdd(kind)) {
            formats::MddReader reader(path, formats::anyPointCount);
            frames = reader.frameCount();
            points = reader.pointCount();
        } else {
            formats::Pc2Reader reader(path, formats::anyPointCount);
            frames = reader.frameCount();
            points = reader.pointCount();
        }
    }
    // Both formats end with their frames, and the size was checked whole.
    const uint64_t offset = std::filesystem::file_size(path) - 12 * uint64_t(frames) * points;
    return py::make_tuple(frames, points, offset, isMdd(kind));
}

template <typename Reader>
py::array_t<float> readAll(const std::string& path) {
    std::unique_ptr<Reader> reader;
    {
        py::gil_scoped_release unlocked;
        reader = std::make_unique<Reader>(path, formats::anyPointCount);
    }
    const size_t points = reader->pointCount();
    py::array_t<float> frames({py::ssize_t(reader->frameCount()), py::ssize_t(points), py::ssize_t(3)});
    float* out = frames.mutable_data();
    {
        py::gil_scoped_release unlocked;
        std::vector<Point3> frame(points);
        for (size_t i = 0; i < reader->frameCount(); ++i) {
            reader->readFrame(i, frame.data());
            for (const Point3& p : frame) {
                *out++ = float(p.x);
                *out++ = float(p.y);
                *out++ = float(p.z);
            }
        }
    }
    return frames;
}

py::array_t<float> read(const std::string& path, const std::string& kind) {
    return isMdd(kind) ? readAll<formats::MddReader>(path) : readAll<formats::Pc2Reader>(path);
}

// Frames (P, N, 3) of any real dtype; start and step as PC2 keeps them, MDD
// keeping each frame's time in seconds, (start + i * step) / fps.
void write(const std::string& path, const std::string& kind, const py::array& frames, double start,
           double step, double fps) {
    const PoseInput input = poseInput(frames, "frames");
    const bool interrupts = onMainThread();
    py::gil_scoped_release unlocked;
    const PoseArray& source = input.source;
    const size_t count = source.poseCount();
    if (isMdd(kind)) {
        std::vector<float> times(count);
        for (size_t i = 0; i < count; ++i) times[i] = float((start + double(i) * step) / fps);
        formats::MddWriter writer(path, source.pointCount(), times);
        streamPoses(source, interrupts, [&](size_t, const Point3* frame) { writer.appendFrame(frame); });
        writer.finish();
    } else {
        formats::Pc2Writer writer(path, source.pointCount(), count, float(start), float(step));
        streamPoses(source, interrupts, [&](size_t, const Point3* frame) { writer.appendFrame(frame); });
        writer.finish();
    }
}

// Weights (P, N) as the tool's .npy file, a row at a time under a temporary
// name; Ctrl-C is looked for between rows.
void writeWeights(const std::string& path,
                  const py::array_t<float, py::array::c_style | py::array::forcecast>& weights) {
    if (weights.ndim() != 2) throw std::invalid_argument("weights must have shape (P, N)");
    const bool interrupts = onMainThread();
    const size_t rows = static_cast<size_t>(weights.shape(0));
    const size_t points = static_cast<size_t>(weights.shape(1));
    const float* values = weights.data();
    py::gil_scoped_release unlocked;
    formats::NpyWriter writer(path, rows, points);
    for (size_t row = 0; row < rows; ++row) {
        if (interrupts) {
            py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        }
        writer.appendRow(values + row * points);
    }
    writer.finish();
}

}  // namespace

void bindCaches(py::module_& module) {
    module.def("read_cache_header", &header, py::arg("path"), py::arg("kind"),
               "(frames, points, offset of the frames, big-endian) of a checked MDD or PC2 file.");
    module.def("read_cache", &read, py::arg("path"), py::arg("kind"),
               "(P, N, 3) float32 frames of an MDD or PC2 file.");
    module.def("write_cache", &write, py::arg("path"), py::arg("kind"), py::arg("frames"), py::arg("start"),
               py::arg("step"), py::arg("fps"), "Writes (P, N, 3) frames to an MDD or PC2 file, atomically.");
    module.def("write_weights", &writeWeights, py::arg("path"), py::arg("weights"),
               "Writes (P, N) weights to a float32 .npy file, atomically.");
}

}  // namespace kestrin::python

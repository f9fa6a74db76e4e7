// The _kestrin extension: the plug-in objects, the OBJ reader and the point
// caches on NumPy arrays. The package's Python layer (kestrin/) is the public
// face: it checks what users pass and gives the keyword arguments; this layer
// takes C-contiguous float64 / int32 / float32 meshes, poses of any real
// dtype, byte order and strides (read in place, one pose at a time), and
// refuses anything else with ValueError rather than read out of bounds.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "caches.h"
#include "mesh_input.h"
#include "plugin_objects.h"
#include "pose_input.h"
#include "pose_stream.h"
#include "files/format_error.h"
#include "setting_lists.h"

namespace py = pybind11;

namespace kestrin::python {
namespace {

static_assert(sizeof(Point3) == 3 * sizeof(double) && std::is_standard_layout_v<Point3>,
              "an (N, 3) float64 array is read as N points");

using Doubles = py::array_t<double, py::array::c_style>;
using Ints = py::array_t<int32_t, py::array::c_style>;
using Floats = py::array_t<float, py::array::c_style>;

// Sets a Python exception whose message may name a file by bytes that are
// not UTF-8 (as os.listdir(b".") gives them): those show as \x escapes, as
// the package shows such names, instead of the message being lost.
void raise(PyObject* type, const char* message) {
    py::object text = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(message, static_cast<py::ssize_t>(std::strlen(message)), "backslashreplace"));
    PyErr_SetObject(type, text.ptr());
}

void require(bool condition, const std::string& message) {
    if (!condition) throw std::invalid_argument(message);
}

std::vector<Point3> pointsOf(const Doubles& array, const char* what) {
    require(array.ndim() == 2 && array.shape(1) == 3, std::string(what) + " must have shape (N, 3)");
    std::vector<Point3> points(static_cast<size_t>(array.shape(0)));
    if (!points.empty()) std::memcpy(points.data(), array.data(), points.size() * sizeof(Point3));
    return points;
}

Polygons polygonsOf(const Ints& offsets, const Ints& vertices, size_t pointCount) {
    require(offsets.ndim() == 1 && vertices.ndim() == 1 && offsets.size() >= 1, "polygons must be packed 1-D arrays");
    Polygons polygons;
    polygons.offsets.assign(offsets.data(), offsets.data() + offsets.size());
    polygons.vertices.assign(vertices.data(), vertices.data() + vertices.size());
    require(polygons.offsets.front() == 0 && polygons.offsets.back() == static_cast<int32_t>(vertices.size()),
            "polygon offsets must run from 0 to the number of corners");
    for (size_t i = 0; i < polygons.size(); ++i) {
        require(polygons.offsets[i] <= polygons.offsets[i + 1], "polygon offsets must not decrease");
    }
    for (int32_t point : polygons.vertices) {
        require(point >= 0 && static_cast<size_t>(point) < pointCount, "a polygon corner is out of range");
    }
    return polygons;
}

drive::PluginSettings settingsOf(const std::vector<std::pair<std::string, double>>& channels,
                                 const std::vector<std::pair<std::string, bool>>& toggles) {
    drive::PluginSettings settings;
    settings.channels = channels;
    settings.toggles = toggles;
    return settings;
}

py::tuple readObj(const std::string& path) {
    MeshInput mesh = readMesh(path);
    Doubles points({static_cast<py::ssize_t>(mesh.points.size()), py::ssize_t(3)});
    if (!mesh.points.empty()) std::memcpy(points.mutable_data(), mesh.points.data(), mesh.points.size() * sizeof(Point3));
    Ints offsets(static_cast<py::ssize_t>(mesh.polygons.offsets.size()), mesh.polygons.offsets.data());
    Ints vertices(static_cast<py::ssize_t>(mesh.polygons.vertices.size()), mesh.polygons.vertices.data());
    return py::make_tuple(points, offsets, vertices);
}

// A saved key as Python has it: None for a value the block leaves out.
py::object keyOrNone(const char* key) { return key != nullptr ? py::object(py::str(key)) : py::none(); }

// Every column of the channels' list, one dict per channel in channel order:
// the package builds its signatures, docstrings and properties from these.
py::list channelTable() {
    py::list table;
    for (const drive::ChannelSetting& channel : drive::channelSettings) {
        table.append(py::dict(py::arg("keyword") = drive::keywordOf(channel.option),
                              py::arg("name") = channel.name,
                              py::arg("weight_tool_label") = channel.weightToolLabel,
                              py::arg("effect_label") = channel.effectLabel,
                              py::arg("saved_key") = keyOrNone(channel.savedKey),
                              py::arg("default") = channel.defaultValue, py::arg("low") = channel.low,
                              py::arg("high") = channel.high, py::arg("option") = channel.option,
                              py::arg("help") = channel.help));
    }
    return table;
}

// The same for the check boxes, in panel order.
py::list toggleTable() {
    py::list table;
    for (const drive::ToggleSetting& toggle : drive::toggleSettings) {
        table.append(py::dict(py::arg("keyword") = drive::keywordOf(toggle.option), py::arg("label") = toggle.label,
                              py::arg("saved_key") = toggle.savedKey, py::arg("default") = toggle.defaultOn,
                              py::arg("option") = toggle.option, py::arg("help") = toggle.help));
    }
    return table;
}

// Grainmark's axis channels and measures, in their lists' order.
py::list axisTable() {
    py::list table;
    for (const drive::AxisSetting& axis : drive::axisSettings) {
        table.append(py::dict(py::arg("name") = axis.name, py::arg("default") = axis.defaultValue,
                              py::arg("help") = axis.help));
    }
    return table;
}

py::list measureTable() {
    py::list table;
    for (const drive::MeasureSetting& measure : drive::measureSettings) {
        table.append(py::dict(py::arg("label") = measure.label, py::arg("direction") = measure.direction,
                              py::arg("help") = measure.help));
    }
    return table;
}

// out: C-contiguous, writeable, of the given dtype, (P, N) for weights or
// (P, N, 3) for positions; ValueError otherwise. Its memory, to write into
// without the GIL.
template <typename Object>
void* outputFor(const py::array& out, const PoseArray& poses, Object& self, const py::dtype& dtype, int ndim) {
    const bool shaped = out.ndim() == ndim && static_cast<size_t>(out.shape(0)) == poses.poseCount() &&
                        static_cast<size_t>(out.shape(1)) == self.pointCount() && (ndim == 2 || out.shape(2) == 3);
    require(shaped && poses.pointCount() == self.pointCount(),
            "out must have shape (" + std::to_string(poses.poseCount()) + ", " + std::to_string(self.pointCount()) +
                (ndim == 3 ? ", 3)" : ")") + " for poses of shape (P, " + std::to_string(poses.pointCount()) + ", 3)");
    require(out.dtype().is(dtype) && (out.flags() & py::array::c_style) && out.writeable(),
            "out must be a writeable C-contiguous array of " + py::str(static_cast<py::handle>(dtype)).cast<std::string>());
    return const_cast<void*>(out.data());
}

// A call over a whole sequence: counted on the object (close() waits for
// it), without the GIL, Ctrl-C looked for between poses.
template <typename Object, typename Use>
void run(Object& self, const PoseArray& poses, Use&& use) {
    const bool interrupts = onMainThread();
    py::gil_scoped_release unlocked;
    Call call(self.calls);
    streamPoses(poses, interrupts, use);
}

// What both plug-in objects offer. Every call that reaches the scene
// releases the GIL first, also while it waits for the scene's lock.
template <typename Object>
void bindCommon(py::class_<Object>& type) {
    using Release = py::call_guard<py::gil_scoped_release>;
    type.def("close",
             [](Object& self) {
                 if (self.calls.closeAfterCalls()) self.attached().close();
             },
             Release(), "Waits for calls in progress, then destroys the plug-in instance and removes its objects.")
        .def_property_readonly("closed", [](Object& self) { return self.calls.closed() || self.attached().closed(); })
        .def_property_readonly("point_count", [](Object& self) { return self.pointCount(); })
        .def("set_channel",
             [](Object& self, const std::string& name, double value) {
                 Call call(self.calls);
                 self.setChannel(name, value);
             },
             Release())
        .def("channel",
             [](Object& self, const std::string& name) {
                 Call call(self.calls);
                 return self.channel(name);
             },
             Release())
        .def("set_toggle",
             [](Object& self, const std::string& label, bool on) {
                 Call call(self.calls);
                 self.setToggle(label, on);
             },
             Release())
        .def("toggle",
             [](Object& self, const std::string& label) {
                 Call call(self.calls);
                 return self.toggle(label);
             },
             Release())
        .def("save_settings",
             [](Object& self, const std::string& path) {
                 Call call(self.calls);
                 self.saveSettings(path);
             },
             Release())
        .def("load_settings",
             [](Object& self, const std::string& path) {
                 Call call(self.calls);
                 self.loadSettings(path);
                 return self.loadNote();
             },
             Release());
}

// A weight tool's class: made from the rest mesh, its channel values and
// check boxes by name; weights of whole sequences.
template <drive::WeightToolKind Kind>
void bindWeightTool(py::module_& m, const char* name) {
    using Object = WeightToolOf<Kind>;
    py::class_<Object> tool(m, name);
    tool.def(py::init([](const Doubles& points, const Ints& offsets, const Ints& vertices,
                             const std::vector<std::pair<std::string, double>>& channels,
                             const std::vector<std::pair<std::string, bool>>& toggles) {
                 std::vector<Point3> rest = pointsOf(points, "rest");
                 const Polygons polygons = polygonsOf(offsets, vertices, rest.size());
                 py::gil_scoped_release unlocked;
                 return std::make_unique<Object>(rest, polygons, settingsOf(channels, toggles));
             }),
             py::arg("points"), py::arg("offsets"), py::arg("corners"), py::arg("channels"), py::arg("toggles"))
        .def("weights",
             [](Object& self, const py::array& poses, const py::array& out) {
                 const PoseInput input = poseInput(poses, "poses");
                 float* into = static_cast<float*>(outputFor(out, input.source, self, py::dtype::of<float>(), 2));
                 run(self, input.source, [&](size_t pose, const Point3* points) {
                     self.compute(points, into + pose * self.pointCount());
                 });
                 return out;
             },
             py::arg("poses"), py::arg("out"), "Weights of (P, N, 3) poses into out, (P, N) float32.");
    bindCommon(tool);
}

}  // namespace
}  // namespace kestrin::python

PYBIND11_MODULE(_kestrin, m) {
    using namespace kestrin;
    using namespace kestrin::python;
    m.doc() = "The compiled core of the kestrin package; use the kestrin package itself.";

    static py::exception<host::SessionError>& sessionError =
        py::register_exception<host::SessionError>(m, "SessionError", PyExc_RuntimeError);
    sessionError.attr("__doc__") = "A plug-in or the tangent-space provider could not be loaded or entered, or "
                                   "an instance lacks a channel or control: the message names the file and reason.";
    // The tool's readers name the file and line at fault: the input's error.
    // Messages that name a file carry its name as given, in bytes that need
    // not be UTF-8.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const formats::FormatError& e) {
            raise(PyExc_ValueError, e.what());
        } catch (const std::invalid_argument& e) {
            raise(PyExc_ValueError, e.what());
        } catch (const host::SessionError& e) {
            raise(sessionError.ptr(), e.what());
        }
    });

    m.attr("CHANNELS") = channelTable();
    m.attr("TOGGLES") = toggleTable();
    m.attr("AXIS") = axisTable();
    m.attr("MEASURES") = measureTable();

    m.def("read_obj", &readObj, py::arg("path"),
          "(points (N, 3) float64, offsets int32, corners int32) of an OBJ file, polygons packed.");
    m.def("attached_records", [] { return sharedSession()->attachedRecords(); },
          "Plug-in records still attached to objects of the shared scene.");

    bindCaches(m);

    bindWeightTool<drive::WeightToolKind::Strainmark>(m, "Strainmark");
    bindWeightTool<drive::WeightToolKind::Grainmark>(m, "Grainmark");

    py::class_<StrainshaperObject> strainshaper(m, "Strainshaper");
    strainshaper
        .def(py::init([](const Doubles& points, const Ints& offsets, const Ints& vertices, const Doubles& stretch,
                         const Doubles& squash, const std::optional<Floats>& weightMap,
                         const std::vector<std::pair<std::string, double>>& channels) {
                 std::vector<Point3> rest = pointsOf(points, "rest");
                 const Polygons polygons = polygonsOf(offsets, vertices, rest.size());
                 std::optional<std::vector<float>> map;
                 if (weightMap) {
                     require(weightMap->ndim() == 1, "the weight map must have shape (N,)");
                     map.emplace(weightMap->data(), weightMap->data() + weightMap->size());
                 }
                 std::vector<Point3> stretchPoints = pointsOf(stretch, "stretch_target");
                 std::vector<Point3> squashPoints = pointsOf(squash, "squash_target");
                 py::gil_scoped_release unlocked;
                 return std::make_unique<StrainshaperObject>(rest, polygons, stretchPoints, squashPoints, map,
                                                             settingsOf(channels, {}));
             }),
             py::arg("points"), py::arg("offsets"), py::arg("corners"), py::arg("stretch"), py::arg("squash"),
             py::arg("weight_map"), py::arg("channels"))
        .def("displace",
             [](StrainshaperObject& self, const py::array& poses, const py::array& out) {
                 const PoseInput input = poseInput(poses, "poses");
                 Point3* into = static_cast<Point3*>(outputFor(out, input.source, self, py::dtype::of<double>(), 3));
                 run(self, input.source, [&](size_t pose, const Point3* points) {
                     self.displace(points, into + pose * self.pointCount());
                 });
                 return out;
             },
             py::arg("poses"), py::arg("out"), "Corrected positions of (P, N, 3) poses into out, (P, N, 3) float64.");
    bindCommon(strainshaper);
}

// The _kestrin extension: the plug-in objects and the OBJ reader on NumPy
// arrays. The package's Python layer (kestrin/) is the public face: it checks
// and converts what users pass and gives the keyword arguments; this layer
// takes C-contiguous float64 / int32 / float32 arrays of the right shapes and
// refuses anything else with ValueError rather than read out of bounds.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "mesh_input.h"
#include "plugin_objects.h"
#include "format_error.h"
#include "setting_lists.h"

namespace py = pybind11;

namespace kestrin::python {
namespace {

static_assert(sizeof(Point3) == 3 * sizeof(double) && std::is_standard_layout_v<Point3>,
              "an (N, 3) float64 array is read as N points");

using Doubles = py::array_t<double, py::array::c_style>;
using Ints = py::array_t<int32_t, py::array::c_style>;
using Floats = py::array_t<float, py::array::c_style>;

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

// Poses as (P, N, 3), N the object's point count.
size_t poseCountOf(const Doubles& poses, const drive::Attached& object) {
    require(poses.ndim() == 3 && poses.shape(2) == 3 &&
                static_cast<size_t>(poses.shape(1)) == object.pointCount(),
            "poses must have shape (P, " + std::to_string(object.pointCount()) + ", 3)");
    return static_cast<size_t>(poses.shape(0));
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

// (channel name, default, keyword, help) per channel, in channel order.
py::list channelTable() {
    py::list table;
    for (const drive::ChannelSetting& channel : drive::channelSettings) {
        table.append(py::make_tuple(channel.name, channel.defaultValue, drive::keywordOf(channel.option), channel.help));
    }
    return table;
}

// (check box label, default, keyword, help) per check box, in panel order.
py::list toggleTable() {
    py::list table;
    for (const drive::ToggleSetting& toggle : drive::toggleSettings) {
        table.append(py::make_tuple(toggle.label, toggle.defaultOn, drive::keywordOf(toggle.option), toggle.help));
    }
    return table;
}

}  // namespace
}  // namespace kestrin::python

PYBIND11_MODULE(_kestrin, m) {
    using namespace kestrin;
    using namespace kestrin::python;
    m.doc() = "The compiled core of the kestrin package; use the kestrin package itself.";

    py::register_exception<host::SessionError>(m, "SessionError", PyExc_RuntimeError)
        .attr("__doc__") = "A plug-in or the tangent-space provider could not be loaded or entered, or "
                           "an instance lacks a channel or control: the message names the file and reason.";
    // The tool's readers name the file and line at fault: the input's error.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const formats::FormatError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    m.attr("CHANNELS") = channelTable();
    m.attr("TOGGLES") = toggleTable();

    m.def("read_obj", &readObj, py::arg("path"),
          "(points (N, 3) float64, offsets int32, corners int32) of an OBJ file, polygons packed.");
    m.def("attached_records", [] { return sharedSession()->attachedRecords(); },
          "Plug-in records still attached to objects of the shared scene.");

    using drive::Attached;
    py::class_<Attached>(m, "Attached")
        .def("close", &Attached::close, "Destroys the plug-in instance; closing twice is harmless.")
        .def_property_readonly("closed", &Attached::closed)
        .def_property_readonly("point_count", &Attached::pointCount)
        .def("set_channel", &Attached::setChannel)
        .def("channel", &Attached::channel)
        .def("set_toggle", &Attached::setToggle)
        .def("toggle", &Attached::toggle)
        .def("save_settings", &Attached::saveSettings, py::call_guard<py::gil_scoped_release>())
        .def("load_settings", &Attached::loadSettings, py::call_guard<py::gil_scoped_release>());

    py::class_<WeightToolObject, Attached>(m, "Strainmark")
        .def(py::init([](const Doubles& points, const Ints& offsets, const Ints& vertices,
                         const std::vector<std::pair<std::string, double>>& channels,
                         const std::vector<std::pair<std::string, bool>>& toggles) {
                 std::vector<Point3> rest = pointsOf(points, "rest");
                 const Polygons polygons = polygonsOf(offsets, vertices, rest.size());
                 py::gil_scoped_release unlocked;
                 return std::make_unique<WeightToolObject>(rest, polygons, settingsOf(channels, toggles));
             }),
             py::arg("points"), py::arg("offsets"), py::arg("corners"), py::arg("channels"), py::arg("toggles"))
        .def("weights",
             [](WeightToolObject& self, const Doubles& poses) {
                 const size_t count = poseCountOf(poses, self);
                 Floats out({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(self.pointCount())});
                 const Point3* in = reinterpret_cast<const Point3*>(poses.data());
                 float* written = out.mutable_data();
                 {
                     py::gil_scoped_release unlocked;
                     self.weights(in, count, written);
                 }
                 return out;
             },
             py::arg("poses"), "(P, N) float32 weights of (P, N, 3) float64 poses.");

    py::class_<StrainshaperObject, Attached>(m, "Strainshaper")
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
             [](StrainshaperObject& self, const Doubles& poses) {
                 const size_t count = poseCountOf(poses, self);
                 Doubles out({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(self.pointCount()),
                              py::ssize_t(3)});
                 const Point3* in = reinterpret_cast<const Point3*>(poses.data());
                 Point3* written = reinterpret_cast<Point3*>(out.mutable_data());
                 {
                     py::gil_scoped_release unlocked;
                     self.displace(in, count, written);
                 }
                 return out;
             },
             py::arg("poses"), "(P, N, 3) float64 corrected positions of (P, N, 3) float64 poses.");
}

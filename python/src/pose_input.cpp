#include "pose_input.h"

#include <stdexcept>

namespace py = pybind11;

namespace kestrin::python {

PoseInput poseInput(const py::array& array, const std::string& name) {
    if (array.ndim() != 3 || array.shape(2) != 3) throw std::invalid_argument(name + " must have shape (P, N, 3)");
    const py::dtype dtype = array.dtype();
    NumberLayout layout;
    layout.kind = dtype.kind();
    layout.size = static_cast<size_t>(dtype.itemsize());
    const char order = dtype.byteorder();
    constexpr bool little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    layout.swapped = (order == '>' && little) || (order == '<' && !little);
    if (!convertible(layout)) {
        throw std::invalid_argument(name + ": an array of " + py::str(static_cast<py::handle>(dtype)).cast<std::string>() + " is not read as coordinates");
    }
    const int64_t strides[3] = {array.strides(0), array.strides(1), array.strides(2)};
    PoseArray source(static_cast<const char*>(array.data()), layout, static_cast<size_t>(array.shape(0)),
                      static_cast<size_t>(array.shape(1)), strides, name);
    return {array, source};
}

bool onMainThread() {
    py::module_ threading = py::module_::import("threading");
    return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

}  // namespace kestrin::python

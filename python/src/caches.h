// Point caches (MDD, PC2) and weight files (NPY) for the module: the formats library's readers and
// writers, so that Python and the tool read and write the same bytes, and
// write them the same way: under a temporary name, renamed into place whole.
#ifndef KESTRIN_PYTHON_CACHES_H
#define KESTRIN_PYTHON_CACHES_H

#include <pybind11/pybind11.h>

namespace kestrin::python {

// read_cache_header, read_cache, write_cache and write_weights on the module.
void bindCaches(pybind11::module_& module);

}  // namespace kestrin::python

#endif

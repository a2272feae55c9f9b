#pragma once
// The parts of the kv4410 module, each adding its functions and classes.
#include <pybind11/pybind11.h>

#include <cstdint>

#include "device/register_map.h"

namespace kv4410::python {

namespace py = pybind11;

void bindDevice(py::module_& m);
void bindResults(py::module_& m);
void bindBench(py::module_& m);

// A register's fields of `value` by key, the unused bits left out.
py::dict fieldsOf(const RegisterDef& reg, std::uint32_t value);

}  // namespace kv4410::python

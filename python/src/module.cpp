// The compiled part of the kv4410 package: the device model, the board session and its runs.
#include "bindings.h"
#include "kv4410_version.h"
#include "names.h"

PYBIND11_MODULE(_kv4410, m) {
  m.doc() = "The KV4410 evaluation board: registers, conversions, sweeps and the channel test.";
  m.attr("__version__") = kv4410::kProgramVersion;
  kv4410::python::registerErrors(m);
  kv4410::python::bindDevice(m);
  kv4410::python::bindResults(m);
  kv4410::python::bindBench(m);
}

#pragma once
// What a run leaves for Python: the rows as NumPy arrays, min and max, how it ended, its
// settings, the result list and the CSV text that kv4410ctl would save; and the channel test's
// verdict with every reading. Both are copies: the next run does not change them.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "bench/bench.h"

namespace kv4410::python {

namespace py = pybind11;

struct RunResult {
  std::string kind;   // "sweep" or "time run"
  std::string state;  // "finished", "stopped" or "board lost"
  py::dict arrays;    // column name -> NumPy array, one element per row
  std::size_t rows = 0;
  float min = 0.0F;
  float max = 0.0F;
  py::dict settings;
  std::vector<std::string> lines;
  std::string csv;  // empty when the run has no row

  py::object column(const char* name) const { return arrays[name]; }
};

struct TestResult {
  std::string verdict;  // "PASS" or "FAILURE"
  int failureCount = 0;
  py::dict arrays;
  std::vector<std::string> lines;
};

// The last sweep or time run of `bench` (`sweep` picks which), taken when it has ended.
RunResult runResult(const bench::Bench& bench, bool sweep);
TestResult testResult(const bench::Bench& bench);

}  // namespace kv4410::python

// A tiny benchmark harness: each row times our operation and its yardstick in
// the same run, interleaved, and prints the ratio of the medians. Rows register
// themselves from their own files with VELKO_BENCH_ROW.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velko::bench {

struct Result {
  double ours_ns;       // median per operation
  double yardstick_ns;  // median per operation
};

struct Row {
  std::string name;       // what is measured, e.g. "GetString vs RegQueryValueExW"
  double goal;            // the ratio to stay under (0 when none)
  std::function<Result()> run;
};

std::vector<Row>& Rows();

struct Registrar {
  Registrar(std::string name, double goal, std::function<Result()> run) {
    Rows().push_back({std::move(name), goal, std::move(run)});
  }
};

// Times `ours` and `yardstick` (each called `batch` times per sample) over
// `samples` interleaved samples and returns the medians per call in ns.
Result Compare(const std::function<void()>& ours, const std::function<void()>& yardstick, int batch = 200,
               int samples = 31);

}  // namespace velko::bench

#define VELKO_BENCH_CONCAT2(a, b) a##b
#define VELKO_BENCH_CONCAT(a, b) VELKO_BENCH_CONCAT2(a, b)
#define VELKO_BENCH_ROW(name, goal, fn) \
  static ::velko::bench::Registrar VELKO_BENCH_CONCAT(velko_bench_row_, __LINE__)(name, goal, fn)

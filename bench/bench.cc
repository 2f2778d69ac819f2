#include "bench/bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace velko::bench {

std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
double TimeBatch(const std::function<void()>& f, int batch) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < batch; ++i) f();
  const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / batch;
}
}  // namespace

Result Compare(const std::function<void()>& ours, const std::function<void()>& yardstick, int batch, int samples) {
  // Warm both paths first, then alternate so drift on a noisy machine hits both alike.
  TimeBatch(ours, batch);
  TimeBatch(yardstick, batch);
  std::vector<double> a, b;
  for (int i = 0; i < samples; ++i) {
    if (i % 2) {
      a.push_back(TimeBatch(ours, batch));
      b.push_back(TimeBatch(yardstick, batch));
    } else {
      b.push_back(TimeBatch(yardstick, batch));
      a.push_back(TimeBatch(ours, batch));
    }
  }
  return {Median(a), Median(b)};
}

}  // namespace velko::bench

int main(int argc, char** argv) {
  const char* filter = argc > 1 ? argv[1] : "";
  std::printf("%-58s %12s %12s %7s %6s\n", "operation vs yardstick", "ours (us)", "yardstick", "ratio", "goal");
  int over = 0;
  for (const auto& row : velko::bench::Rows()) {
    if (*filter && row.name.find(filter) == std::string::npos) continue;
    const velko::bench::Result r = row.run();
    const double ratio = r.ours_ns / r.yardstick_ns;
    const bool missed = row.goal > 0 && ratio > row.goal;
    over += missed;
    std::printf("%-58s %12.3f %12.3f %7.3f %6.2f%s\n", row.name.c_str(), r.ours_ns / 1000, r.yardstick_ns / 1000, ratio,
                row.goal, missed ? "  over goal" : "");
    std::fflush(stdout);
  }
  std::printf("%d row(s) over goal\n", over);
  return 0;
}

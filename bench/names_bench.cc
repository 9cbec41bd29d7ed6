// Benchmark: %NAME% expansion of one line holding many references to a
// 10-byte variable, and of a line whose references each insert text that the
// next one scans again.
#include <benchmark/benchmark.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "rt/rt.h"
#include "tavcore/expand.h"

// Expands, once per iteration, a line of state.range(0) copies of piece,
// with the variable that assignment sets.
static void expand_line(benchmark::State& state, char* assignment,
                        const char* piece) {
  rt_putenv(assignment);
  std::string line;
  for (int64_t i = 0; i < state.range(0); i++) {
    line += piece;
  }
  for (auto _ : state) {
    char* out;
    tav_expand(line.c_str(), 1, "", SIZE_MAX, &out);
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetItemsProcessed((int64_t)state.iterations() * state.range(0));
}

static void BM_References(benchmark::State& state) {
  static char assignment[] = "NAMES_BENCH=0123456789";
  expand_line(state, assignment, "%NAMES_BENCH%");
}
BENCHMARK(BM_References)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);

// Each inserted "50%" pairs with the "%" of the next reference: every
// replacement is scanned again.
static void BM_Rescanned(benchmark::State& state) {
  static char assignment[] = "NAMES_HALF=50%";
  expand_line(state, assignment, "%NAMES_HALF%NAMES_HALF%");
}
BENCHMARK(BM_Rescanned)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);

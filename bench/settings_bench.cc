// Benchmark: the settings reader over many short lines, over one long line
// (with the reallocations it makes counted), and over a file whose value
// doubles on every line.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "rt/rt.h"
#include "tavcore/reader.h"

extern "C" void* __real_realloc(void* block, size_t size);

static long reallocs = 0;

extern "C" void* __wrap_realloc(void* block, size_t size) {
  reallocs++;
  return __real_realloc(block, size);
}

static void write_settings(const std::string& bytes) {
  FILE* f = fopen("vorel.ini", "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

static void read_settings(benchmark::State& state, const std::string& file) {
  write_settings(file);
  long made = 0;
  for (auto _ : state) {
    reallocs = 0;
    tav_load_settings("./", "vorel.ini");
    made = reallocs;
  }
  remove("vorel.ini");
  state.counters["reallocs"] = (double)made;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size());
}

static void BM_ShortLines(benchmark::State& state) {
  static char fixed[] = "BENCH_FIXED=0123456789";
  rt_putenv(fixed);
  std::string file = "[Environment]\n";
  for (int64_t i = 0; i < state.range(0); i++) {
    file += "bench_" + std::to_string(i % 100) + " = %@P%;%BENCH_FIXED%;x\n";
  }
  read_settings(state, file);
}
BENCHMARK(BM_ShortLines)->RangeMultiplier(10)->Range(100, 100000);

static void BM_LongLine(benchmark::State& state) {
  std::string file =
      "[Environment]\nBENCH_LONG=" + std::string((size_t)state.range(0), 'v');
  read_settings(state, file);
}
BENCHMARK(BM_LongLine)
    ->RangeMultiplier(10)
    ->Range(1000, 10000000)
    ->Unit(benchmark::kMillisecond);

static void BM_Doubling(benchmark::State& state) {
  std::string file = "[Environment]\nBENCH_D=xxxxxxxxxxxxxxxx\n";
  for (int i = 0; i < 30; i++) {
    file += "BENCH_D=%BENCH_D%%BENCH_D%\n";
  }
  file += "BENCH_AFTER=applied\n";
  read_settings(state, file);
  const char* d = rt_getenv("BENCH_D");
  const char* after = rt_getenv("BENCH_AFTER");
  state.counters["value"] = d ? (double)strlen(d) : -1;
  state.counters["after"] = after ? 1 : 0;
}
BENCHMARK(BM_Doubling)->Unit(benchmark::kMillisecond);

// Benchmark: the whole argument expansion, from a variable and from response
// files of growing size, nested one level.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "loader/loader.h"
#include "rt/rt.h"

static std::string words_of(size_t size) {
  std::string text;
  while (text.size() < size) {
    text += "-Dprop=\"a value\" word C:\\dir\\file.jar\n";
  }
  text.resize(size);
  return text;
}

static void expand_once(const char* arg) {
  char* argv[] = {(char*)"kestrel", (char*)arg, (char*)"Hello", nullptr};
  int argc = 3;
  char** list = argv;
  if (ldr_expand(&argc, &list) == 0) {
    benchmark::DoNotOptimize(list);
    free(list);  // the texts stay: the loader keeps them by design
  }
}

static void BM_ResponseFile(benchmark::State& state) {
  size_t size = (size_t)state.range(0);
  std::string path = "args_bench_" + std::to_string(size) + ".txt";
  FILE* f = fopen(path.c_str(), "wb");
  std::string text = words_of(size);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  std::string arg = "@" + path;
  for (auto _ : state) {
    expand_once(arg.c_str());
  }
  remove(path.c_str());
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)size);
}
BENCHMARK(BM_ResponseFile)->RangeMultiplier(4)->Range(1024, 65535);

static void BM_VariableThenFile(benchmark::State& state) {
  size_t size = (size_t)state.range(0);
  FILE* f = fopen("args_bench_inner.txt", "wb");
  std::string text = words_of(size);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  static char assignment[] = "ARGS_BENCH=-v @args_bench_inner.txt tail";
  rt_putenv(assignment);
  for (auto _ : state) {
    expand_once("@ARGS_BENCH");
  }
  remove("args_bench_inner.txt");
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)size);
}
BENCHMARK(BM_VariableThenFile)->RangeMultiplier(4)->Range(1024, 65535);

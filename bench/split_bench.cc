// Benchmark: the loader's word splitter over texts of growing size.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "loader/loader.h"

// Words of every kind the splitter meets: plain, quoted with blanks, escaped
// quotes and backslash runs, over CR LF lines.
static std::string text_of(size_t size) {
  static const char kLine[] =
      "-classpath \"C:\\My Dir\\lib\" a\\\\\\\"b -Dx=\"y z\" Hello\r\n";
  std::string text;
  while (text.size() < size) {
    text += kLine;
  }
  text.resize(size);
  return text;
}

static void BM_Split(benchmark::State& state) {
  std::string text = text_of((size_t)state.range(0));
  std::vector<char> buf(text.size() + 1);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(text.begin(), text.end(), buf.begin());
    state.ResumeTiming();
    RtList args = {0, 0, nullptr};
    int rescan = 0;
    ldr_split(buf.data(), buf.data() + text.size(), &args, &rescan);
    benchmark::DoNotOptimize(args.items);
    free(args.items);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * state.range(0));
}
BENCHMARK(BM_Split)->RangeMultiplier(10)->Range(1000, 10000000);

// Throughput of the text operations on mixed GBK/ASCII text of 1 MiB and
// 64 MiB: every operation should grow linearly with its input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "text/text.h"
#include "text/text_ops.h"

namespace quoril {
namespace {

// Lines of about 80 bytes ended by CR LF: ASCII words with ';', '=' and
// spaces, runs of two-byte characters (lead B0-D7, trail A1-FE) and now and
// then a full-width space. Fixed seed: the same bytes on every run.
const Text& mixed_text(std::size_t size) {
  static std::map<std::size_t, Text> made;
  Text& t = made[size];
  if (!t.empty()) return t;
  t.reserve(size + 128);
  std::uint32_t x = 12345;
  auto next = [&x] { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; };
  std::size_t line = 0;
  while (t.size() < size) {
    const std::uint32_t r = next();
    switch (r % 6) {
      case 0: case 1:  // an ASCII word
        for (std::uint32_t i = 0, n = 2 + (r >> 8) % 8; i < n; ++i)
          t.push_back(static_cast<char>('a' + next() % 26));
        t.push_back(" ;=,"[(r >> 16) % 4]);
        break;
      case 2: case 3: case 4:  // a run of Chinese characters
        for (std::uint32_t i = 0, n = 1 + (r >> 8) % 6; i < n; ++i) {
          t.push_back(static_cast<char>(0xB0 + next() % 40));
          t.push_back(static_cast<char>(0xA1 + next() % 94));
        }
        break;
      default:
        t += (r >> 8) % 4 ? " " : "\xA1\xA1";  // half- or full-width space
    }
    if (t.size() - line >= 80) {
      t += "x\r\n";  // never a space at either end
      line = t.size();
    }
  }
  t.resize(size);
  t.back() = 'x';
  return t;
}

const Text kAbsent = "scope.short_url = \"";  // not in the text: a full scan

// Times op over the text of the benchmark's size. One untimed call first, so
// the heap already holds blocks of the result's size.
template <class Op>
void run(benchmark::State& state, Op op) {
  const Text& t = mixed_text(static_cast<std::size_t>(state.range(0)));
  benchmark::DoNotOptimize(op(t));
  for (auto _ : state) benchmark::DoNotOptimize(op(t));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_find_first(benchmark::State& s) { run(s, [](const Text& t) { return find_first(t, kAbsent); }); }
void BM_find_first_ignore_case(benchmark::State& s) {
  run(s, [](const Text& t) { return find_first(t, kAbsent, 1, true); });
}
void BM_find_last(benchmark::State& s) { run(s, [](const Text& t) { return find_last(t, "\r\n"); }); }
void BM_replace_text(benchmark::State& s) { run(s, [](const Text& t) { return replace_text(t, ";", "; "); }); }
void BM_split_by(benchmark::State& s) { run(s, [](const Text& t) { return split_by(t, "\r\n"); }); }
void BM_trim_spaces(benchmark::State& s) { run(s, [](const Text& t) { return trim_spaces(t); }); }
void BM_remove_spaces(benchmark::State& s) { run(s, [](const Text& t) { return remove_spaces(t); }); }

// A Text of the benchmark's size grown by joining 64-byte pieces onto it, one
// at a time.
void BM_repeated_joins(benchmark::State& s) {
  run(s, [](const Text& t) {
    Text acc;
    for (std::size_t at = 0; acc.size() < t.size(); at += 64)
      acc = join_texts(std::move(acc), std::string_view(t).substr(at, 64));
    return acc;
  });
}

#define SIZES ->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_find_first) SIZES;
BENCHMARK(BM_find_first_ignore_case) SIZES;
BENCHMARK(BM_find_last) SIZES;
BENCHMARK(BM_replace_text) SIZES;
BENCHMARK(BM_split_by) SIZES;
BENCHMARK(BM_trim_spaces) SIZES;
BENCHMARK(BM_remove_spaces) SIZES;
BENCHMARK(BM_repeated_joins) SIZES;

}  // namespace
}  // namespace quoril

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // Keep freed blocks for reuse. Otherwise every 64 MiB result is a fresh
  // mapping whose first touch of each page is charged to the operation (on a
  // virtual machine that can be ~20 us a page), while 1 MiB results reuse
  // warm memory: the two sizes would then not measure the same work.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

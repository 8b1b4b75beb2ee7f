// Throughput of the code-page conversion and the percent-encoding on 64 MiB of
// mixed Chinese and ASCII, beside ICU's own one-call conversion of the same
// UTF-8 (the ceiling for utf8_to_ansi, which measures before it converts).
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <string>

#include "encoding/codepage.h"
#include "encoding/percent.h"

namespace {

constexpr std::size_t kSize = std::size_t{64} << 20;

// Runs of ASCII words and of common Chinese characters (all in GBK), about half
// the bytes each, cut at a character boundary near 64 MiB.
const quoril::Bytes& mixed_utf8() {
  static const quoril::Bytes page = [] {
    quoril::Bytes b;
    b.reserve(kSize + 16);
    std::uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    while (b.size() < kSize) {
      for (std::uint32_t n = 1 + next() % 24; n > 0; --n)
        b.push_back(static_cast<std::uint8_t>(n % 6 == 0 ? ' ' : 'a' + next() % 26));
      for (std::uint32_t n = 1 + next() % 8; n > 0; --n) {
        const std::uint32_t c = 0x4E00 + next() % 0x51A6;  // U+4E00..U+9FA5
        b.push_back(static_cast<std::uint8_t>(0xE0 | c >> 12));
        b.push_back(static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F)));
        b.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
      }
    }
    return b;
  }();
  return page;
}

void BM_Utf8ToAnsi(benchmark::State& state) {
  const quoril::Bytes& in = mixed_utf8();
  for (auto _ : state) benchmark::DoNotOptimize(quoril::utf8_to_ansi(in));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

// ICU's one call from UTF-8 to code page 936; with `fresh_output` into a new
// string each time, as any routine that returns its result must.
void icu_direct(benchmark::State& state, bool fresh_output) {
  const quoril::Bytes& in = mixed_utf8();
  std::string reused(in.size() + 16, '\0');  // GBK is never longer than UTF-8
  for (auto _ : state) {
    std::string fresh;
    if (fresh_output) fresh.assign(in.size() + 16, '\0');
    std::string& out = fresh_output ? fresh : reused;
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_convert(
        "windows-936-2000", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
        reinterpret_cast<const char*>(in.data()), static_cast<int32_t>(in.size()),
        &err);
    if (U_FAILURE(err)) state.SkipWithError(u_errorName(err));
    out.resize(static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_IcuConvertDirect(benchmark::State& state) { icu_direct(state, false); }
void BM_IcuConvertDirectNewString(benchmark::State& state) {
  icu_direct(state, true);
}

void BM_UrlEncode(benchmark::State& state) {
  const quoril::Text gbk = quoril::utf8_to_ansi(mixed_utf8());
  quoril::Text in;
  while (in.size() < kSize) in += gbk;
  in.resize(kSize);
  for (auto _ : state) benchmark::DoNotOptimize(quoril::url_encode(in));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IcuConvertDirect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IcuConvertDirectNewString)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UrlEncode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

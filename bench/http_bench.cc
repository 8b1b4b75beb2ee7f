// http_fetch of a 100 MiB body from a loopback server, beside the curl
// command line fetching the same address in the same run. Both are timed by
// the wall clock; compare their bytes_per_second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "http/fetch.h"
#include "tests/fixtures/test_server.h"

namespace {

constexpr std::size_t kBodySize = std::size_t{100} << 20;

// One server for the whole run, serving the same 100 MiB at one address.
const std::string& big_address() {
  static quoril::test::TestServer server;
  static const std::string address = [] {
    std::string body(kBodySize, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 31 % 253);
    server.set("/big", quoril::test::Reply::ok(std::move(body)));
    std::string url = server.url("/big");
    // One untimed fetch each, so neither side pays for a cold start.
    quoril::http_fetch(url);
    if (std::system(("curl -s -o /dev/null '" + url + "'").c_str()) != 0) url.clear();
    return url;
  }();
  return address;
}

void BM_HttpFetch100MiB(benchmark::State& state) {
  const std::string& address = big_address();
  for (auto _ : state) {
    quoril::Bytes body = quoril::http_fetch(address);
    if (body.size() != kBodySize) {
      state.SkipWithError("short body");
      break;
    }
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_HttpFetch100MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlCommandLine100MiB(benchmark::State& state) {
  const std::string command = "curl -s -o /dev/null '" + big_address() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("curl failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_CurlCommandLine100MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

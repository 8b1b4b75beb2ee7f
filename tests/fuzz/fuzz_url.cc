// url_host, url_port and url_path. Two halves: any address keeps the
// invariants below; an address built from well-formed pieces splits back
// into exactly those pieces.
// Input: address \0 host chars \0 path chars \0 options (scheme, port).
#include <cstdint>
#include <string>

#include "http/url.h"
#include "tests/fuzz/fuzz_util.h"
#include "text/text_ops.h"

namespace {

// Keeps the bytes of `s` that are in `allowed`.
std::string only(const std::string& s, const std::string& allowed) {
  std::string out;
  for (char c : s)
    if (allowed.find(c) != std::string::npos) out += c;
  return out;
}

bool unit_aligned_any(const std::string& t, const std::string& bytes) {
  for (std::size_t k : fuzz::unit_starts(t, 0))
    if (!fuzz::lead(t, k) && bytes.find(t[k]) != std::string::npos) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quoril;
  auto f = fuzz::fields(data, size, 4);
  const std::string& address = f[0];
  const std::string& o = f[3];

  // Any address.
  const Text host = url_host(address);
  const Text host_port = url_host(address, false, true);
  const Text path = url_path(address);
  (void)url_host(address, true, fuzz::opt(o, 2) & 1);
  (void)url_port(address);
  FUZZ_CHECK(!fuzz::has_zero(host) && !fuzz::has_zero(host_port) && !fuzz::has_zero(path));
  FUZZ_CHECK(lower_ascii(host) == host);
  FUZZ_CHECK(!unit_aligned_any(host, ":/?#"));
  FUZZ_CHECK(host_port.compare(0, host.size(), host) == 0);
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  // The path is the address's tail from a "/", or "/" and a query that
  // follows the host directly.
  const std::string tail = path.size() > 1 && path[1] == '?' ? path.substr(1) : path;
  FUZZ_CHECK(path == "/" || (tail.size() <= address.size() &&
                             address.compare(address.size() - tail.size(), tail.size(), tail) == 0));

  // An address made of a scheme, a host, maybe a port, maybe a path with a
  // query.
  static const char* const kSchemes[] = {"", "http://", "https://", "HTTP://", "hTtPs://"};
  const std::string scheme = kSchemes[fuzz::opt(o, 0) % 5];
  const std::string h = only(f[1], "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-");
  if (h.empty()) return 0;
  const int port = (fuzz::opt(o, 1) << 8 | fuzz::opt(o, 2));
  const bool with_port = port != 0;
  std::string p = only(f[2], "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/.-_~=&?%");
  if (!p.empty()) p.insert(p.begin(), '/');
  const std::string built =
      scheme + h + (with_port ? ":" + std::to_string(port) : "") + p;
  std::string h_lower = lower_ascii(h);
  const int want_port = with_port ? port
                        : lower_ascii(built.substr(0, 5)) == "https" ? 443 : 80;
  if (url_host(built) != h_lower || url_port(built) != want_port ||
      url_path(built) != (p.empty() ? "/" : p)) {
    fuzz::dump("address", built);
    fuzz::dump("host", url_host(built));
    fuzz::dump("path", url_path(built));
    std::fprintf(stderr, "port %d, expected %d\n", url_port(built), want_port);
    fuzz::fail(__FILE__, __LINE__, "the address splits back into its pieces");
  }
  return 0;
}

// url_encode: the output is made only of "%XX" triples and, with keep_plain,
// the plain bytes, and it decodes back to exactly the bytes that were encoded.
// Input: text \0 options (keep_plain, utf8_first).
#include <cstdint>
#include <string>

#include "encoding/codepage.h"
#include "encoding/percent.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

bool plain(char c) {
  return (c >= '-' && c <= '9' && c != '/') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is not what we write
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto f = fuzz::fields(data, size, 2);
  const std::string& text = f[0];
  const bool keep_plain = fuzz::opt(f[1], 0) & 1, utf8_first = fuzz::opt(f[1], 0) & 2;
  const std::string out = quoril::url_encode(text, keep_plain, utf8_first);
  FUZZ_CHECK(!fuzz::has_zero(out));

  std::string decoded;
  for (std::size_t i = 0; i < out.size();) {
    if (out[i] == '%') {
      FUZZ_CHECK(i + 3 <= out.size());
      const int hi = hex_digit(out[i + 1]), lo = hex_digit(out[i + 2]);
      FUZZ_CHECK(hi >= 0 && lo >= 0);
      const char b = static_cast<char>(hi * 16 + lo);
      FUZZ_CHECK(!keep_plain || !plain(b));  // a plain byte is never encoded then
      decoded += b;
      i += 3;
    } else {
      FUZZ_CHECK(keep_plain && plain(out[i]));
      decoded += out[i++];
    }
  }
  const std::string source = utf8_first ? quoril::ansi_to_utf8(text) : text;
  if (decoded != source) {
    fuzz::dump("encoded bytes", source);
    fuzz::dump("decoded", decoded);
  }
  FUZZ_CHECK(decoded == source);
  return 0;
}

// Code-page conversions (the Linux back end). No result Text holds a zero
// byte; UTF-8 out is well-formed; valid UTF-8 in gives exactly its UTF-16;
// GBK text that decodes comes back byte for byte through UTF-16 and UTF-8.
// Input: one byte choosing the code page, then raw bytes.
#include <cstdint>
#include <string>

#include "encoding/codepage.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

using quoril::Bytes;

// Every unit an ASCII byte, a lone 0x80 or 0xFF, or a lead 0x81-0xFE with a
// trail 0x40-0xFE other than 0x7F: the shapes code page 936 can decode.
bool gbk_shaped(const std::string& t) {
  for (std::size_t k = 0; k < t.size();) {
    const unsigned char c = static_cast<unsigned char>(t[k]);
    if (c < 0x80 || c == 0x80 || c == 0xFF) { ++k; continue; }
    if (k + 1 == t.size()) return false;
    const unsigned char d = static_cast<unsigned char>(t[k + 1]);
    if (d < 0x40 || d == 0x7F || d == 0xFF) return false;
    k += 2;
  }
  return true;
}

// UTF-16LE of well-formed UTF-8 (checked by the caller).
Bytes utf16_of(const std::string& s) {
  Bytes out;
  auto unit = [&](std::uint32_t u) { out.push_back(u & 0xFF); out.push_back(u >> 8 & 0xFF); };
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    std::uint32_t cp = n == 0 ? c : c & (0x3Fu >> n);
    for (std::size_t k = 1; k <= n; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
    i += n + 1;
  }
  return out;
}

std::string as_string(const Bytes& b) { return std::string(b.begin(), b.end()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quoril;
  if (size == 0) return 0;
  static const int kPages[] = {0, 936, 65001};
  const int page = kPages[data[0] % 3];
  const Bytes raw(data + 1, data + size);
  std::string text;  // the same bytes as a Text: zero bytes left out
  for (std::uint8_t b : raw)
    if (b) text += static_cast<char>(b);

  // GBK text to UTF-16 and UTF-8.
  const Bytes wide = ansi_to_wide(text, 936);
  if (!text.empty()) {
    FUZZ_CHECK(wide.size() >= 2 && wide.size() % 2 == 0);
    FUZZ_CHECK(wide[wide.size() - 1] == 0 && wide[wide.size() - 2] == 0);
    for (std::size_t i = 0; i + 2 < wide.size(); i += 2) FUZZ_CHECK(wide[i] || wide[i + 1]);
  } else {
    FUZZ_CHECK(wide.empty());
  }
  const Text utf8 = ansi_to_utf8(text);
  FUZZ_CHECK(!fuzz::has_zero(utf8) && fuzz::valid_utf8(utf8));
  if (gbk_shaped(text) && utf8.find("\xEF\xBF\xBD") == std::string::npos) {
    const Text back = utf8_to_ansi(text_to_bytes(utf8));
    if (back != text) {
      fuzz::dump("gbk", text);
      fuzz::dump("utf-8", utf8);
      fuzz::dump("back", back);
    }
    FUZZ_CHECK(back == text);
    FUZZ_CHECK(wide_to_ansi(wide, 936) == text);
  }
  (void)ansi_to_wide(text, page);  // sized by 936, read in `page`

  // UTF-8 bytes (zero bytes included) to UTF-16 and GBK.
  const Bytes w = utf8_to_wide(raw);
  FUZZ_CHECK(w.size() % 2 == 0);
  const std::string raw_s = as_string(raw);
  if (fuzz::valid_utf8(raw_s)) FUZZ_CHECK(w == utf16_of(raw_s));
  const Text gbk = utf8_to_ansi(raw);
  FUZZ_CHECK(!fuzz::has_zero(gbk));
  FUZZ_CHECK(gbk == wide_to_gbk(w));  // however it is done, it is these two steps
  const std::size_t zero = raw_s.find('\0');
  if (zero != std::string::npos) {
    const Bytes head(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(zero));
    FUZZ_CHECK(gbk == utf8_to_ansi(head));
  }
  // The raw bytes read as UTF-16. Cut before an ASCII unit, where no
  // surrogate pair or composition can straddle, the two halves convert as
  // the whole does (when no zero unit ends the text early).
  const Text whole = wide_to_gbk(raw);
  FUZZ_CHECK(!fuzz::has_zero(whole));
  std::size_t unit = raw.size() / 2;
  bool any_zero = false;
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2) any_zero |= !raw[i] && !raw[i + 1];
  for (std::size_t i = (data[0] >> 3) * 2; i + 1 < raw.size(); i += 2) {
    if (raw[i + 1] == 0 && raw[i] < 0x80) {
      unit = i / 2;
      break;
    }
  }
  if (!any_zero && unit > 0 && unit < raw.size() / 2) {
    const Bytes a(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(unit * 2));
    const Bytes b(raw.begin() + static_cast<std::ptrdiff_t>(unit * 2), raw.end());
    FUZZ_CHECK(whole == wide_to_gbk(a) + wide_to_gbk(b));
  }
  const Text out = wide_to_ansi(raw, page);
  FUZZ_CHECK(!fuzz::has_zero(out));
  if (page == 65001) FUZZ_CHECK(fuzz::valid_utf8(out));
  return 0;
}

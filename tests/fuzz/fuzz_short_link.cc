// The page-to-short-link step: a share page (UTF-8 bytes) decoded to GBK and
// the link cut out between the two markers, letters in either case.
// Input: a mode byte, then either a raw page (mode even), or (mode odd)
// prefix \0 link \0 suffix, from which the page prefix, start marker, link,
// end marker, suffix is built.
#include <cstdint>
#include <string>

#include "encoding/codepage.h"
#include "tests/fuzz/fuzz_util.h"
#include "text/extract.h"

namespace {

const std::string kStart = "scope.short_url = \"";
const std::string kEnd = "\";";

std::string link_from_page(const quoril::Bytes& page) {
  return quoril::extract_between(quoril::utf8_to_ansi(page), kStart, kEnd, 1, false);
}

// ASCII bytes stay (a double quote becomes 'q'); the others become the
// CJK character U+4E00 + byte, as UTF-8.
std::string link_utf8(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += c == '"' ? 'q' : static_cast<char>(c);
    } else {
      const unsigned cp = 0x4E00u + c;
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

quoril::Bytes bytes(const std::string& s) { return quoril::Bytes(s.begin(), s.end()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  quoril::Bytes page(data + 1, data + size);
  std::string link_gbk;
  std::size_t link_at = 0;  // 1-based position the start marker must have
  if (data[0] & 1) {
    auto f = fuzz::fields(data + 1, size - 1, 3);
    const std::string link = link_utf8(f[1]);
    page = bytes(f[0] + kStart + link + kEnd + f[2]);
    link_gbk = quoril::utf8_to_ansi(bytes(link));
    link_at = quoril::utf8_to_ansi(bytes(f[0])).size() + 1;
  }

  const std::string gbk = quoril::utf8_to_ansi(page);
  const std::string got = link_from_page(page);
  FUZZ_CHECK(!fuzz::has_zero(got));
  // Whatever the page, the link is what stands between the first start
  // marker and the first end marker after it.
  std::string want;
  const int p = fuzz::model_find_first(gbk, kStart, 1, true);
  if (p != -1) {
    const int d = p + static_cast<int>(kStart.size());
    const int c = fuzz::model_find_first(gbk, kEnd, d, true);
    if (c > d) want = gbk.substr(static_cast<std::size_t>(d - 1), static_cast<std::size_t>(c - d));
  }
  FUZZ_CHECK(got == want);
  FUZZ_CHECK(fuzz::model_find_first(got, kEnd, 1, false) == -1);
  // A page built around a link gives that link, when nothing before it
  // looks like the start marker.
  if (link_at != 0 && p > 0 && static_cast<std::size_t>(p) == link_at) {
    if (got != link_gbk) {
      fuzz::dump("link", link_gbk);
      fuzz::dump("got", got);
    }
    FUZZ_CHECK(got == link_gbk);
  }
  return 0;
}

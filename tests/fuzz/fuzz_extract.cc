// extract_between and text_after_colon against the unit-walk model.
// Input: text \0 leading \0 trailing \0 options (start, flags).
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_util.h"
#include "text/extract.h"

namespace {

const std::string kQuoteMark = "#\xD2\xFD\xBA\xC5";  // #引号

// Every unit-aligned "#引号" of a delimiter as a double quote.
std::string unquote(const std::string& d) {
  std::string out;
  std::size_t k = 0;
  while (d.size() - k >= kQuoteMark.size()) {
    if (d.compare(k, kQuoteMark.size(), kQuoteMark) == 0) {
      out += '"';
      k += kQuoteMark.size();
    } else {
      const std::size_t w = fuzz::lead(d, k) ? 2 : 1;
      out.append(d, k, w);
      k += w;
    }
  }
  return out + d.substr(k);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto f = fuzz::fields(data, size, 4);
  const std::string &text = f[0], &leading = f[1], &trailing = f[2], &o = f[3];
  const int start = fuzz::start_from(fuzz::opt(o, 0));
  const bool case_sensitive = fuzz::opt(o, 1) & 1;

  // The value lies right after the first leading delimiter at or after
  // `start`, up to the first trailing delimiter behind it.
  const std::string got = quoril::extract_between(text, leading, trailing, start, case_sensitive);
  FUZZ_CHECK(!fuzz::has_zero(got));
  const std::string lead = unquote(leading), trail = unquote(trailing);
  std::string want;
  const int p = fuzz::model_find_first(text, lead, start, !case_sensitive);
  if (p != -1) {
    const std::int64_t d = p + static_cast<std::int64_t>(lead.size());
    const int c = fuzz::model_find_first(text, trail, d, !case_sensitive);
    if (c != -1 && c > d) want = text.substr(static_cast<std::size_t>(d - 1),
                                             static_cast<std::size_t>(c - d));
  }
  if (got != want) {
    fuzz::dump("expected", want);
    fuzz::dump("got", got);
  }
  FUZZ_CHECK(got == want);

  // The header value: after the first colon, no space at either end.
  const std::string v = quoril::text_after_colon(text);
  FUZZ_CHECK(!fuzz::has_zero(v));
  const int colon = fuzz::model_find_first(text, ":", 1, false);
  if (colon == -1) {
    FUZZ_CHECK(v.empty());
  } else {
    const std::string rest = text.substr(static_cast<std::size_t>(colon));
    FUZZ_CHECK(rest.find(v) != std::string::npos);
    FUZZ_CHECK(v.empty() || v[0] != ' ');
    if (rest.find_first_of(" \xA1") == std::string::npos &&
        !(rest.size() && fuzz::lead(rest, rest.size() - 1)))
      FUZZ_CHECK(v == rest);
  }
  return 0;
}

// Text operations against slow models of the unit walk.
// Input: text \0 sub \0 replacement \0 options (see the opt() indices below).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "tests/fuzz/fuzz_util.h"
#include "text/text.h"
#include "text/text_ops.h"

namespace {

using fuzz::lead;
using fuzz::same_at;
using fuzz::unit_starts;

bool full_space(const std::string& t, std::size_t k) {
  return k + 1 < t.size() && static_cast<unsigned char>(t[k]) == 0xA1 &&
         static_cast<unsigned char>(t[k + 1]) == 0xA1;
}

std::string model_replace(const std::string& t, const std::string& find,
                          const std::string& rep, std::int64_t start,
                          std::optional<int> count, bool case_sensitive) {
  const std::size_t n = t.size(), m = find.size();
  const std::int64_t b = std::max<std::int64_t>(start - 1, 0);
  if (t.empty() || find.empty() || count == 0 || b >= static_cast<std::int64_t>(n))
    return t;
  std::string out = t.substr(0, static_cast<std::size_t>(b));
  std::size_t k = static_cast<std::size_t>(b);
  long long left = count ? *count : -1;
  while (n - k >= m) {
    if (same_at(t, k, find, !case_sensitive)) {
      out += rep;
      k += m;
      if (count && --left == 0) break;
    } else if (lead(t, k)) {
      if (k + 1 == n) return out;  // a lone lead byte reached by the walk goes
      out.append(t, k, 2);
      k += 2;
    } else {
      out += t[k++];
    }
  }
  return out + t.substr(k);
}

quoril::TextArray model_split(const std::string& t, const std::string& sep) {
  if (t.empty()) return {};
  if (sep.empty()) return {t};
  quoril::TextArray out;
  std::size_t begin = 0, k = 0;
  while (t.size() - k >= sep.size()) {
    if (same_at(t, k, sep, false)) {
      out.push_back(t.substr(begin, k - begin));
      k += sep.size();
      begin = k;
    } else {
      k += (lead(t, k) && k + 1 < t.size()) ? 2 : 1;
    }
  }
  if (begin < t.size()) out.push_back(t.substr(begin));
  return out;
}

std::string model_trim(const std::string& t) {
  std::size_t b = 0;
  while (b < t.size() && (t[b] == ' ' || full_space(t, b))) b += t[b] == ' ' ? 1 : 2;
  std::size_t end = t.size(), run = std::string::npos, k = b;
  for (; k < t.size();) {
    if (lead(t, k) && k + 1 == t.size()) return t.substr(b, k - b);
    const bool space = t[k] == ' ' || full_space(t, k);
    if (space && run == std::string::npos) run = k;
    if (!space) run = std::string::npos;
    k += lead(t, k) ? 2 : 1;
  }
  if (run != std::string::npos) end = run;
  return t.substr(b, end - b);
}

std::string model_remove_spaces(const std::string& t) {
  std::string out;
  for (std::size_t k : unit_starts(t, 0)) {
    if (t[k] == ' ' || full_space(t, k)) continue;
    if (lead(t, k) && k + 1 == t.size()) break;
    out.append(t, k, lead(t, k) ? 2 : 1);
  }
  return out;
}

std::string model_lower(const std::string& t) {
  std::string out = t;
  for (std::size_t k : unit_starts(t, 0))
    if (!lead(t, k)) out[k] = fuzz::fold(t[k]);
  return out;
}

int model_parse_int(const std::string& t) {
  std::string h;
  for (std::size_t k : unit_starts(t, 0)) {
    const unsigned char c = static_cast<unsigned char>(t[k]);
    if (c < 0x80) { h += t[k]; continue; }
    if (k + 1 == t.size()) break;
    const unsigned char d = static_cast<unsigned char>(t[k + 1]);
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) h += static_cast<char>(d - 0x80);
    else if (c == 0xA1 && d == 0xA1) h += ' ';
    else h.append(t, k, 2);
  }
  std::size_t i = 0;
  while (i < h.size() && (h[i] == ' ' || (h[i] >= 9 && h[i] <= 13))) ++i;
  bool neg = false;
  if (i < h.size() && (h[i] == '+' || h[i] == '-')) neg = h[i++] == '-';
  std::uint32_t v = 0;
  for (; i < h.size() && h[i] >= '0' && h[i] <= '9'; ++i) v = v * 10 + static_cast<std::uint32_t>(h[i] - '0');
  return static_cast<int>(neg ? 0u - v : v);
}

std::string model_take_middle(const std::string& t, std::int64_t start, int n) {
  const std::int64_t b = start - 1;
  if (b < 0 || b >= static_cast<std::int64_t>(t.size()) || n < 1) return {};
  return t.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quoril;
  auto f = fuzz::fields(data, size, 4);
  const Text& t = f[0];
  Text sub = f[1];
  const Text& rep = f[2];
  const std::string& o = f[3];
  const int s1 = fuzz::start_from(fuzz::opt(o, 0));
  const int s2 = fuzz::start_from(fuzz::opt(o, 1));
  const std::uint8_t flags = fuzz::opt(o, 2);
  const bool ic = flags & 1;
  // Now and then search for a piece of the text itself, so that hits and
  // hits that straddle a unit boundary are common.
  if ((flags & 0x10) && !t.empty()) {
    const std::size_t at = fuzz::opt(o, 5) % t.size();
    sub = t.substr(at, fuzz::opt(o, 6) % 8);
  }

  // Searching: the exact position a unit walk gives, found bytes equal.
  const int p = find_first(t, sub, s1, ic);
  FUZZ_CHECK(p == fuzz::model_find_first(t, sub, s1, ic));
  if (p != -1) {
    FUZZ_CHECK(p >= 1 && p <= text_len(t) && fuzz::same_at(t, p - 1, sub, ic));
  }
  const std::optional<int> last_start =
      (flags & 2) ? std::optional<int>(s2) : std::nullopt;
  const int q = find_last(t, sub, last_start, ic);
  FUZZ_CHECK(q == fuzz::model_find_last(t, sub, last_start.has_value(), s2, ic));
  if (q != -1) {
    FUZZ_CHECK(q >= 1 && q <= text_len(t) && fuzz::same_at(t, q - 1, sub, ic));
    FUZZ_CHECK(fuzz::is_unit_start(t, 0, static_cast<std::size_t>(q - 1)));
  }

  // Splitting: pieces joined by the separator give the text back, up to one
  // trailing separator.
  const TextArray pieces = split_by(t, sub);
  FUZZ_CHECK(pieces == model_split(t, sub));
  if (!sub.empty()) {
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      FUZZ_CHECK(!fuzz::has_zero(pieces[i]));
      joined += (i ? sub : "") + pieces[i];
    }
    FUZZ_CHECK(joined == t || joined + sub == t);
  }

  // Replacing, trimming, removing, folding.
  const std::optional<int> count =
      (flags & 8) ? std::optional<int>(static_cast<signed char>(fuzz::opt(o, 3)))
                  : std::nullopt;
  const int rs = fuzz::start_from(fuzz::opt(o, 4));
  const Text r = replace_text(t, sub, rep, rs, count, flags & 4);
  FUZZ_CHECK(!fuzz::has_zero(r));
  FUZZ_CHECK(r == model_replace(t, sub, rep, rs, count, flags & 4));
  FUZZ_CHECK(trim_spaces(t) == model_trim(t));
  FUZZ_CHECK(remove_spaces(t) == model_remove_spaces(t));
  FUZZ_CHECK(lower_ascii(t) == model_lower(t));

  // Cutting by bytes.
  const int n = static_cast<signed char>(fuzz::opt(o, 7));
  const std::size_t un = n < 1 ? 0 : static_cast<std::size_t>(n);
  FUZZ_CHECK(take_left(t, n) == t.substr(0, std::min(un, t.size())));
  FUZZ_CHECK(take_right(t, n) == t.substr(t.size() - std::min(un, t.size())));
  FUZZ_CHECK(take_middle(t, s1, n) == model_take_middle(t, s1, n));
  const int c = text_cmp(t, sub), want = t.compare(sub);
  FUZZ_CHECK(c == (want < 0 ? -1 : want > 0 ? 1 : 0));

  // Numbers.
  FUZZ_CHECK(parse_int(t) == model_parse_int(t));
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | fuzz::opt(o, 8 + static_cast<std::size_t>(i));
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", v);
  FUZZ_CHECK(hex_text(static_cast<int>(v)) == hex);
  return 0;
}

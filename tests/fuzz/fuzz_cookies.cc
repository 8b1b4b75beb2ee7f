// merge_cookies: the merged string has no spaces inside its pairs, no pair
// marked "=deleted", and a name twice only when the response set it twice.
// Input: stored \0 received.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "http/cookies.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

// Pieces between unit-aligned separators; a trailing empty piece is kept only
// with `keep_last` (the merged string is its pairs joined, nothing more).
std::vector<std::string> pieces(const std::string& t, const std::string& sep,
                                bool keep_last = false) {
  std::vector<std::string> out;
  std::size_t begin = 0, k = 0;
  while (k < t.size()) {
    if (fuzz::same_at(t, k, sep, false)) {
      out.push_back(t.substr(begin, k - begin));
      k += sep.size();
      begin = k;
    } else {
      k += (fuzz::lead(t, k) && k + 1 < t.size()) ? 2 : 1;
    }
  }
  if (begin < t.size() || (keep_last && !t.empty())) out.push_back(t.substr(begin));
  return out;
}

bool has_space_unit(const std::string& t) {
  for (std::size_t k : fuzz::unit_starts(t, 0))
    if (t[k] == ' ' || (k + 1 < t.size() && t.compare(k, 2, "\xA1\xA1") == 0)) return true;
  return false;
}

bool marked_deleted(const std::string& pair) {
  return pair.size() >= 8 && pair.compare(pair.size() - 8, 8, "=deleted") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto f = fuzz::fields(data, size, 2);
  quoril::Text stored = f[0], received = f[1];
  const quoril::Text merged = quoril::merge_cookies(stored, received);
  FUZZ_CHECK(merged == stored);
  FUZZ_CHECK(!fuzz::has_zero(stored) && !fuzz::has_zero(received));
  FUZZ_CHECK(!has_space_unit(received));

  std::map<std::string, int> got, sent;
  for (const std::string& pair : pieces(received, ";")) ++sent[quoril::cookie_name(pair)];
  const std::vector<std::string> pairs = pieces(merged, "; ", true);
  for (const std::string& pair : pairs) {
    FUZZ_CHECK(!has_space_unit(pair));
    FUZZ_CHECK(!marked_deleted(pair));
    ++got[quoril::cookie_name(pair)];
  }
  for (const auto& [name, n] : got) {
    if (n > 1 && n > sent[name]) fuzz::dump("name twice", name);
    FUZZ_CHECK(n == 1 || n <= sent[name]);
  }
  // Every pair the response set and did not delete is there, first, in order.
  std::string kept;
  bool any = false;
  for (const std::string& pair : pieces(received, ";"))
    if (!marked_deleted(pair)) kept += (any ? "; " : "") + pair, any = true;
  FUZZ_CHECK(merged.compare(0, kept.size(), kept) == 0);
  FUZZ_CHECK(!any || merged.size() == kept.size() ||
             merged.compare(kept.size(), 2, "; ") == 0);
  return 0;
}

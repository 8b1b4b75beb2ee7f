// The ICU back end against Windows' own code page 936 conversions, recorded by
// cp936_dump under Wine into the file named by QUORIL_CP936_TABLE. Valid input
// must convert alike; the differences Windows and ICU are known to have are
// listed by class and counted (all of them in the file named by
// QUORIL_CP936_DIFFS, when set), and any other difference fails.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/uset.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/codepage_backend.h"
#include "gtest/gtest.h"

namespace quoril {
namespace {

namespace platform = codepage_backend;

struct Row {
  std::string kind;  // "mb" or "wc"
  int code_page = 0;
  int flags = 0;
  std::string input;   // hex
  std::string output;  // hex, "-" empty, "!" refused
};

std::vector<unsigned> parse_hex(const std::string& hex, int digits) {
  std::vector<unsigned> v;
  for (std::size_t i = 0; i + digits <= hex.size(); i += digits)
    v.push_back(static_cast<unsigned>(std::stoul(hex.substr(i, digits), nullptr, 16)));
  return v;
}

std::string to_hex(const std::vector<unsigned>& v, int digits) {
  if (v.empty()) return "-";
  std::string s;
  char buf[8];
  for (unsigned x : v) {
    std::snprintf(buf, sizeof buf, digits == 2 ? "%02X" : "%04X", x);
    s += buf;
  }
  return s;
}

// What the ICU back end makes of one row's input.
std::string icu_output(const Row& r) {
  if (r.kind == "mb") {
    std::string in;
    for (unsigned b : parse_hex(r.input, 2)) in += static_cast<char>(b);
    alignas(2) std::uint8_t wide[64];
    const int n = platform::multibyte_to_wide(r.code_page, r.flags, in.data(),
                                              static_cast<int>(in.size()), wide, 32);
    if (n == 0) return "!";
    std::vector<unsigned> units;
    for (int i = 0; i < n; ++i) units.push_back(wide[2 * i] | wide[2 * i + 1] << 8);
    return to_hex(units, 4);
  }
  std::vector<std::uint16_t> units;
  for (unsigned u : parse_hex(r.input, 4)) units.push_back(static_cast<std::uint16_t>(u));
  char out[64];
  const int n = platform::wide_to_multibyte(
      r.code_page, r.flags, reinterpret_cast<const std::uint8_t*>(units.data()),
      static_cast<int>(units.size()), out, sizeof out);
  if (n == 0) return "!";
  std::vector<unsigned> bytes;
  for (int i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(out[i]));
  return to_hex(bytes, 2);
}

// Why a row may convert differently on the two platforms; empty when it is
// valid input that must convert alike.
class Classifier {
 public:
  Classifier() {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(
        ucnv_open("windows-936-2000", &err), ucnv_close);
    roundtrip_.reset(uset_openEmpty());
    ucnv_getUnicodeSet(cnv.get(), roundtrip_.get(), UCNV_ROUNDTRIP_SET, &err);
    EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
  }

  std::string expected_class(const Row& r) const {
    if (r.kind == "mb") {
      const std::vector<unsigned> b = parse_hex(r.input, 2);
      if (r.code_page == 65001) {
        UErrorCode err = U_ZERO_ERROR;
        int32_t n = 0;
        std::string in(b.begin(), b.end());
        u_strFromUTF8(nullptr, 0, &n, in.data(), static_cast<int32_t>(in.size()), &err);
        return err == U_INVALID_CHAR_FOUND ? "undecodable input" : "";
      }
      const bool lead = b[0] >= 0x81 && b[0] <= 0xFE;
      const bool trail = b.size() == 2 && b[1] >= 0x40 && b[1] <= 0xFE && b[1] != 0x7F;
      return lead && !trail ? "undecodable input" : "";
    }
    // Every single BMP character is compared on its own, so a sequence of
    // them may differ only through one with a known difference of its own:
    // a base and mark that 936 lacks must still compose alike.
    const std::vector<unsigned> u = parse_hex(r.input, 4);
    std::string why;
    for (std::size_t i = 0; i < u.size(); ++i) {
      UChar32 c = static_cast<UChar32>(u[i]);
      if (U16_IS_LEAD(c) && i + 1 < u.size() && U16_IS_TRAIL(u[i + 1]))
        c = U16_GET_SUPPLEMENTARY(c, u[++i]);
      else if (U16_IS_SURROGATE(c))
        return "undecodable input";
      if (u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT))
        return "default-ignorable";
      if (c > 0xFFFF || (u.size() == 1 && !uset_contains(roundtrip_.get(), c)))
        why = "lacking in 936";
    }
    return why;
  }

 private:
  struct SetClose {
    void operator()(USet* s) const { uset_close(s); }
  };
  std::unique_ptr<USet, SetClose> roundtrip_;
};

TEST(Cp936Agreement, IcuConvertsAsWindowsDoes) {
  const char* path = std::getenv("QUORIL_CP936_TABLE");
  if (!path || !*path)
    GTEST_SKIP() << "QUORIL_CP936_TABLE is not set: write the table with "
                    "cp936_dump under Wine and name it there to compare";
  std::ifstream in(path);
  ASSERT_TRUE(in) << "cannot read the code page 936 table " << path;

  const Classifier classifier;
  std::map<std::string, std::vector<std::string>> listed;
  int rows = 0, unexpected = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Row r;
    fields >> r.kind >> r.code_page >> r.flags >> r.input >> r.output;
    ASSERT_TRUE(fields && (r.kind == "mb" || r.kind == "wc"))
        << "malformed line " << rows + 1 << ": " << line;
    ++rows;
    const std::string icu = icu_output(r);
    if (icu == r.output) continue;
    const std::string why = classifier.expected_class(r);
    const std::string entry = line + "  icu " + icu;
    if (why.empty()) {
      ADD_FAILURE() << "valid input converts differently: " << entry;
      if (++unexpected > 50) FAIL() << "too many differences, stopping";
    } else {
      listed[why].push_back(entry);
    }
  }
  // cp936_dump writes 177,230 conversions; a cut-short table proves nothing.
  EXPECT_GE(rows, 177000) << "the table is incomplete";

  // The count of each class and its first entries here; every entry in the
  // file named by QUORIL_CP936_DIFFS, when set.
  constexpr std::size_t kShown = 40;
  int total = 0;
  for (const auto& [why, entries] : listed) total += static_cast<int>(entries.size());
  std::printf("%d conversions compared, %d expected differences "
              "(Windows table, then \"icu\" and the ICU back end's result)\n",
              rows, total);
  const char* all_path = std::getenv("QUORIL_CP936_DIFFS");
  std::ofstream all;
  if (all_path && *all_path) {
    all.open(all_path);
    EXPECT_TRUE(all) << "cannot write " << all_path;
  }
  for (const auto& [why, entries] : listed) {
    std::printf("%s: %zu\n", why.c_str(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i < kShown) std::printf("  %s\n", entries[i].c_str());
      if (all.is_open()) all << why << ": " << entries[i] << '\n';
    }
    if (entries.size() > kShown)
      std::printf("  ... %zu more%s\n", entries.size() - kShown,
                  all.is_open() ? "" : " (set QUORIL_CP936_DIFFS=FILE for all)");
  }
}

}  // namespace
}  // namespace quoril

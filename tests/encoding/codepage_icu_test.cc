// The ICU back end writes code page 936 from a table of single characters;
// in any sequence it must write exactly what ICU's own converter writes for
// the whole run, surrogates included.
#include <unicode/ucnv.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoding/codepage_backend.h"
#include "gtest/gtest.h"

namespace quoril {
namespace {

namespace platform = codepage_backend;

// What ICU's windows-936-2000 converter, set up as the back end sets it up,
// writes for `units` in one run.
std::string icu_gbk(const std::vector<std::uint16_t>& units) {
  UErrorCode err = U_ZERO_ERROR;
  std::unique_ptr<UConverter, decltype(&ucnv_close)> cnv(
      ucnv_open("windows-936-2000", &err), ucnv_close);
  ucnv_setFallback(cnv.get(), true);
  ucnv_setSubstChars(cnv.get(), "?", 1, &err);
  std::string out(units.size() * 2 + 16, '\0');
  const int32_t n = ucnv_fromUChars(
      cnv.get(), out.data(), static_cast<int32_t>(out.size()),
      reinterpret_cast<const UChar*>(units.data()),
      static_cast<int32_t>(units.size()), &err);
  EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string backend_gbk(const std::vector<std::uint16_t>& units, int capacity) {
  std::string out(static_cast<std::size_t>(capacity), '\0');
  const int n = platform::wide_to_multibyte(
      936, 0, reinterpret_cast<const std::uint8_t*>(units.data()),
      static_cast<int>(units.size()), out.data(), capacity);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// A character that ICU alone writes as a control byte other than itself.
bool icu_writes_control_for(std::uint16_t u) {
  const std::string b = icu_gbk({u});
  return b.size() == 1 && static_cast<unsigned char>(b[0]) < 0x20 && b[0] != u;
}

TEST(IcuBackend, WritesWhatTheConverterWritesForWholeRuns) {
  // Every BMP unit in order, then a mix weighted towards the awkward ones:
  // surrogates paired and lone, default-ignorables, best fits, ASCII, GBK.
  // The few that ICU writes as control bytes are checked apart below.
  std::vector<std::uint16_t> units;
  for (std::uint32_t u = 1; u < 0x10000; ++u)
    if (!icu_writes_control_for(static_cast<std::uint16_t>(u)))
      units.push_back(static_cast<std::uint16_t>(u));
  const std::uint16_t awkward[] = {0xD83D, 0xDE00, 0xD800, 0xDC00, 0xDB40, 0xDC01,
                                   0x200B, 0x00AD, 0xFEFF, 0x00C0, 0x0301, 0x00B7,
                                   0x20AC, 0xF8F5, 'A',    0x4E2D, 0x3099, 0xFFFD};
  std::uint32_t seed = 7;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::uint32_t r = seed >> 8;
    const auto any = static_cast<std::uint16_t>(r >> 8);
    units.push_back(r % 3 == 0 && !icu_writes_control_for(any)
                        ? any
                        : awkward[(r >> 8) % std::size(awkward)]);
  }
  const std::string want = icu_gbk(units);
  const int measured = platform::wide_to_multibyte(
      936, 0, reinterpret_cast<const std::uint8_t*>(units.data()),
      static_cast<int>(units.size()), nullptr, 0);
  ASSERT_EQ(measured, static_cast<int>(want.size()));
  EXPECT_TRUE(backend_gbk(units, measured) == want);
  // One byte short does not fit: nothing is claimed as written.
  EXPECT_EQ(backend_gbk(units, measured - 1), "");
}

// ICU falls back from the halfwidth arrows and white circle to ESC, TAB and
// other controls; the back end writes '?' for them, as Windows does.
TEST(IcuBackend, NoControlByteForAVisibleCharacter) {
  int seen = 0;
  for (std::uint32_t u = 0x20; u < 0x10000; ++u) {
    const auto unit = static_cast<std::uint16_t>(u);
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    if (icu_writes_control_for(unit)) {
      ++seen;
      SCOPED_TRACE(u);
      EXPECT_EQ(backend_gbk({unit}, 4), "?");
    }
  }
  EXPECT_GT(seen, 0) << "ICU's fallbacks to control bytes are gone";
}

TEST(IcuBackend, TooSmallAreaNearSurrogates) {
  struct Case {
    const char* name;
    std::vector<std::uint16_t> units;
    int capacity;
    const char* want;
  };
  const Case cases[] = {
      {"pair fits exactly", {'A', 0xD83D, 0xDE00}, 2, "A?"},
      {"pair does not fit", {'A', 0xD83D, 0xDE00}, 1, ""},
      {"double-byte does not fit", {'A', 0x4E2D}, 2, ""},
      {"dropped character needs no room", {'A', 0xDB40, 0xDC01}, 1, "A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(backend_gbk(c.units, c.capacity), c.want);
  }
}

}  // namespace
}  // namespace quoril

// The ICU back end writes code page 936 from a table of single characters and
// reads well-formed UTF-8 itself; in any sequence it must write exactly what
// ICU's own converter writes for the whole run, surrogates included, and read
// exactly what ICU's UTF-8 reading gives, U+FFFD included.
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
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

// Any mix of well-formed and ill-formed UTF-8, at every offset from the start
// and the end (the reading goes sixteen bytes at a time), reads as ICU reads it.
TEST(IcuBackend, ReadsUtf8AsIcuDoes) {
  const char* const kParts[] = {
      "a", "\x00", "\xE4\xB8\xAD" /* 中 */, "\xC2\x80", "\xDF\xBF",
      "\xE0\xA0\x80", "\xED\x9F\xBF" /* U+D7FF */, "\xEE\x80\x80" /* U+E000 */,
      "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF" /* U+10FFFF */,
      "\xF0\x9F\x98\x80" /* U+1F600 */,
      // Ill-formed: overlong, surrogate, above U+10FFFF, bad lead, lone
      // continuation, cut sequences.
      "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",
      "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
      "\x80", "\xBF", "\xC3", "\xE4\xB8", "\xF0\x9F\x98"};
  constexpr int kWell = 12;  // the parts before this one are well-formed
  std::uint32_t seed = 11;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string utf8;
    const bool well = round % 2 == 0;
    for (std::uint32_t n = 1 + next() % 24; n > 0; --n)
      utf8 += next() % 3 == 0 ? std::string(next() % 20, 'b')
                              : kParts[next() % (well ? kWell : std::size(kParts))];
    SCOPED_TRACE(::testing::PrintToString(utf8));
    const int len = static_cast<int>(utf8.size());
    std::vector<UChar> want(utf8.size() + 1);
    int32_t want_units = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF8WithSub(want.data(), len + 1, &want_units, utf8.data(), len,
                         0xFFFD, nullptr, &err);
    ASSERT_TRUE(U_SUCCESS(err));
    const int units =
        platform::multibyte_to_wide(65001, 0, utf8.data(), len, nullptr, 0);
    ASSERT_EQ(units, want_units);
    std::vector<UChar> got(static_cast<std::size_t>(units) + 1, 0x5555);
    auto* area = reinterpret_cast<std::uint8_t*>(got.data());
    ASSERT_EQ(platform::multibyte_to_wide(65001, 0, utf8.data(), len, area, units),
              units);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + units, want.begin()));
    EXPECT_EQ(got[units], 0x5555) << "wrote past the area";
    if (units > 1) {  // one unit short does not fit (a capacity of 0 measures)
      EXPECT_EQ(platform::multibyte_to_wide(65001, 0, utf8.data(), len, area,
                                            units - 1),
                0);
    }
  }
}

// With the composite check, a run writes what its pieces write when it is cut
// only before characters that close no pair and are no surrogates: no pair is
// lost or made across the back end's blocks of units.
TEST(IcuBackend, CompositeCheckSameInPiecesAsWhole) {
  // Mostly bases, now and then a mark or a surrogate.
  const std::uint16_t kBases[] = {'e', 'A', 0x4E2D /* 中 */, 0x304B /* か */,
                                  0x00AD /* dropped */};
  const std::uint16_t kRare[] = {0x0301, 0x0300, 0x3099, 0xD83D, 0xDE00, 0xDC00};
  std::uint32_t seed = 5;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint16_t> units;
    for (std::uint32_t n = 1 + next() % 300; n > 0; --n)
      units.push_back(next() % 30 == 0 ? kRare[next() % std::size(kRare)]
                                       : kBases[next() % std::size(kBases)]);
    auto gbk = [](const std::uint16_t* s, std::size_t n) {
      const auto* src = reinterpret_cast<const std::uint8_t*>(s);
      const int size = platform::wide_to_multibyte(
          936, platform::kCompositeCheck, src, static_cast<int>(n), nullptr, 0);
      std::string out(static_cast<std::size_t>(size), '\0');
      out.resize(static_cast<std::size_t>(
          size == 0 ? 0
                    : platform::wide_to_multibyte(936, platform::kCompositeCheck,
                                                  src, static_cast<int>(n),
                                                  out.data(), size)));
      return out;
    };
    std::string pieces;
    std::size_t from = 0;
    for (std::size_t i = 1; i <= units.size(); ++i)
      if (i == units.size() || units[i] == 'A' || units[i] == 0x4E2D)
        pieces += gbk(units.data() + from, i - from), from = i;
    SCOPED_TRACE(round);
    EXPECT_EQ(gbk(units.data(), units.size()), pieces);
  }
}

}  // namespace
}  // namespace quoril

// Conversions between code page 936 (GBK), UTF-16 and UTF-8. The same cases
// run on Linux (ICU) and on Windows (under Wine) and must give the same bytes.
#include "encoding/codepage.h"

#include <optional>
#include <string>
#include <string_view>

#include "gtest/gtest.h"

namespace quoril {
namespace {

using namespace std::string_view_literals;

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Hex of every byte, so a failure shows the bytes rather than GBK on a UTF-8
// terminal.
template <class Seq>
std::string hex(const Seq& s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const auto c : s) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
    out += ' ';
  }
  return out;
}

// Wide text below: UTF-16 little-endian units written as byte pairs.

TEST(AnsiToWide, Cases) {
  struct Case {
    const char* name;
    std::string_view text;
    std::optional<int> code_page;
    std::string_view want;
  };
  const Case cases[] = {
      {"AB ends with one zero unit", "AB", 936, "A\0B\0\0\0"sv},
      {"empty text gives empty bytes", "", 936, ""sv},
      {"double-byte", "\xD6\xD0" /* 中 */, 936, "\x2D\x4E\0\0"sv},
      {"0x80 alone is the euro sign", "\x80", 936, "\xAC\x20\0\0"sv},
      {"code page 0 is 936 on every machine", "\xD6\xD0" /* 中 */, 0,
       "\x2D\x4E\0\0"sv},
      {"UTF-8 when no code page is given", "\xE4\xB8\xAD" /* 中 */,
       std::nullopt, "\x2D\x4E\0\0"sv},
      // Read as UTF-8, these two GBK bytes need three units, not the two they
      // give as GBK: every unit is written, none is left zero.
      {"GBK read as UTF-8 is replaced in full", "\xD6\xD0" /* 中 */, 65001,
       "\xFD\xFF\xFD\xFF\0\0"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Text text(c.text);
    const Bytes got = c.code_page ? ansi_to_wide(text, *c.code_page)
                                  : ansi_to_wide(text);
    EXPECT_EQ(hex(got), hex(c.want));
  }
}

TEST(WideToAnsi, Cases) {
  struct Case {
    const char* name;
    std::string_view wide;
    std::optional<int> code_page;
    std::string_view want;
  };
  const Case cases[] = {
      {"terminated, to UTF-8", "A\0B\0\0\0"sv, 65001, "AB"},
      {"a leading zero unit ends it", "\0\0A\0"sv, 0, ""},
      {"no terminator: exactly the converted bytes", "A\0B\0"sv, std::nullopt,
       "AB"},
      {"system code page by default", "\x2D\x4E\0\0"sv /* 中 */, std::nullopt,
       "\xD6\xD0" /* 中 */},
      {"to UTF-8 without terminator", "\x2D\x4E"sv /* 中 */, 65001,
       "\xE4\xB8\xAD" /* 中 */},
      {"empty", ""sv, 0, ""},
      {"odd last byte ignored", "A\0B"sv, 0, "A"},
      {"one byte is no unit", "A"sv, 65001, ""},
      // Three euro signs are three GBK bytes but nine UTF-8 bytes.
      {"UTF-8 longer than twice the GBK size", "\xAC\x20\xAC\x20\xAC\x20\0\0"sv,
       65001, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC" /* €€€ */},
      {"a character 936 lacks becomes ?", "\x01\x0E"sv /* U+0E01 Thai */, 0,
       "?"},
      {"best fit where Windows has one", "\xC0\x00"sv /* U+00C0 À */, 0,
       "\xA8\xA4" /* à */},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes wide = bytes(c.wide);
    const Text got = c.code_page ? wide_to_ansi(wide, *c.code_page)
                                 : wide_to_ansi(wide);
    EXPECT_EQ(hex(got), hex(c.want));
  }
}

TEST(AnsiToUtf8, Cases) {
  struct Case {
    const char* name;
    std::string_view text;
    std::string_view want;
  };
  const Case cases[] = {
      {"double-byte", "\xD6\xD0" /* 中 */, "\xE4\xB8\xAD"},
      {"empty", "", ""},
      {"mixed", "a\xD6\xD0" /* 中 */ "b", "a\xE4\xB8\xAD" "b"},
      {"single-byte euro signs triple in size", "\x80\x80\x80" /* €€€ */,
       "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
      {"0xFF is a private-use character", "\xFF", "\xEF\xA3\xB5" /* U+F8F5 */},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hex(ansi_to_utf8(Text(c.text))), hex(c.want));
  }
}

TEST(Utf8ToWide, Cases) {
  struct Case {
    const char* name;
    std::string_view utf8;
    std::string_view want;
  };
  const Case cases[] = {
      {"no terminator added", "AB", "A\0B\0"sv},
      {"empty", "", ""sv},
      {"a zero byte is a character", "A\0B"sv, "A\0\0\0B\0"sv},
      {"three-byte sequence", "\xE4\xB8\xAD" /* 中 */, "\x2D\x4E"sv},
      {"four bytes give a surrogate pair", "\xF0\x9F\x98\x80" /* U+1F600 */,
       "\x3D\xD8\x00\xDE"sv},
      {"an invalid byte is replaced", "A\xFF" "B", "A\0\xFD\xFF" "B\0"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hex(utf8_to_wide(bytes(c.utf8))), hex(c.want));
  }
}

TEST(WideToGbk, Cases) {
  struct Case {
    const char* name;
    std::string_view wide;
    std::string_view want;
  };
  const Case cases[] = {
      {"e and a combining acute", "e\0\x01\x03"sv, "\xA8\xA6" /* é */},
      {"a and a combining grave", "a\0\x00\x03"sv, "\xA8\xA4" /* à */},
      {"kana and the voicing mark", "\x4B\x30\x99\x30"sv /* か U+3099 */,
       "\xA4\xAC" /* が */},
      // Pairwise, not full normalization: u-diaeresis takes the first mark,
      // the second goes out alone.
      {"one mark per base", "u\0\x08\x03\x01\x03"sv, "\xA8\xB9?" /* ü? */},
      // b with dot above exists but 936 lacks it: base and mark separately.
      {"composite that 936 lacks", "b\0\x07\x03"sv, "b?"},
      {"no terminator, nothing read beyond", "A\0B\0"sv, "AB"},
      {"stops at a zero unit", "\x2D\x4E\0\0A\0"sv /* 中 */,
       "\xD6\xD0" /* 中 */},
      {"odd last byte ignored", "A\0B"sv, "A"},
      {"one byte gives nothing", "A"sv, ""},
      {"empty", ""sv, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Exactly sized, so a read past the end trips AddressSanitizer.
    const Bytes wide = bytes(c.wide);
    EXPECT_EQ(hex(wide_to_gbk(wide)), hex(c.want));
  }
}

TEST(Utf8ToAnsi, Cases) {
  struct Case {
    const char* name;
    std::string_view utf8;
    std::string_view want;
  };
  const Case cases[] = {
      {"three-byte sequence", "\xE4\xB8\xAD" /* 中 */, "\xD6\xD0" /* 中 */},
      {"empty", "", ""},
      {"ends at the first zero byte", "A\0B"sv, "A"},
      {"invalid byte in the middle keeps both sides",
       "\xE4\xB8\xAD\xFF\xE6\x96\x87" /* 中, FF, 文 */,
       "\xD6\xD0?\xCE\xC4" /* 中?文 */},
      {"sequence cut at the end", "A\xE4\xB8", "A?"},
      {"decomposed accent is composed", "e\xCC\x81" /* e U+0301 */,
       "\xA8\xA6" /* é */},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hex(utf8_to_ansi(bytes(c.utf8))), hex(c.want));
  }
}

// A page many times larger than any internal buffer, with compositions and
// multi-byte sequences on every boundary the repetition makes; back to UTF-8
// the composed accent stays one character.
TEST(Utf8ToAnsi, LongTextConvertsWhole) {
  std::string utf8, gbk, back;
  for (int i = 0; i < 40000; ++i) {
    utf8 += "ab\xE4\xB8\xAD" "e\xCC\x81" "\xE2\x82\xAC";  // 中 e U+0301 €
    gbk += "ab\xD6\xD0" "\xA8\xA6" "\x80";                 // 中 é €
    back += "ab\xE4\xB8\xAD" "\xC3\xA9" "\xE2\x82\xAC";     // 中 é €
  }
  const Text got = utf8_to_ansi(bytes(utf8));
  ASSERT_EQ(got.size(), gbk.size());
  EXPECT_TRUE(got == gbk);
  EXPECT_TRUE(ansi_to_utf8(got) == back);
}

}  // namespace
}  // namespace quoril

namespace quoril {
namespace {

// Long inputs are converted in pieces; the pieces must give exactly what the
// two steps give on the whole input: broken sequences, base-and-mark pairs and
// runs without any ASCII byte longer than a piece, and a late zero byte.
TEST(Utf8ToAnsi, PiecesGiveWhatTheWholeGives) {
  const char* const kParts[] = {
      "a", " ", "\xE4\xB8\xAD" /* 中 */, "e\xCC\x81" /* e U+0301 */,
      "\xCC\x81" /* lone U+0301 */, "\xFF", "\xE4\xB8" /* cut 中 */,
      "\xF0\x9F\x98\x80" /* U+1F600 */, "\xC3\xA9" /* é */, "\x80"};
  std::uint32_t seed = 7;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    std::string utf8;
    while (utf8.size() < (round + 1) * 70000u) {
      const bool long_run = next() % 500 == 0;  // no ASCII for ~150 KB
      for (std::uint32_t n = long_run ? 50000 : 1; n > 0; --n)
        utf8 += long_run ? "\xE4\xB8\xAD" : kParts[next() % std::size(kParts)];
    }
    if (round == 5) utf8.insert(utf8.size() - 1000, 1, '\0');
    if (round % 2) {  // a first piece of characters 936 drops writes nothing
      std::string dropped;
      for (int n = 0; n < 30000; ++n) dropped += "\xE2\x80\x8B" /* U+200B */;
      utf8.insert(0, dropped);
    }
    const Bytes in = bytes(utf8);
    const Text got = utf8_to_ansi(in);
    const Text whole = wide_to_gbk(utf8_to_wide(in));
    ASSERT_EQ(got.size(), whole.size());
    EXPECT_TRUE(got == whole);
  }
}

}  // namespace
}  // namespace quoril

// Operations inside a Text: cutting, searching, case, spaces, replacing,
// splitting and numbers.
#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace quoril {
namespace {

using std::nullopt;
using std::optional;

// 中文 in GBK.
const Text kZhongWen = "\xD6\xD0\xCE\xC4";

TEST(TextOps, CuttingWorksOnBytes) {
  struct Case { const char* op; Text got, want; } cases[] = {
      {"left 2", take_left("abc", 2), "ab"},
      {"left 5", take_left("abc", 5), "abc"},
      {"left 0", take_left("abc", 0), ""},
      {"left -1", take_left("abc", -1), ""},
      {"left INT_MAX", take_left("abc", INT_MAX), "abc"},
      {"left 3 of zhongwen", take_left(kZhongWen, 3), "\xD6\xD0\xCE"},
      {"right 2", take_right("abc", 2), "bc"},
      {"right 9", take_right("abc", 9), "abc"},
      {"right 0", take_right("abc", 0), ""},
      {"right INT_MIN", take_right("abc", INT_MIN), ""},
      {"middle 3,2", take_middle("abcdef", 3, 2), "cd"},
      {"middle 3,5", take_middle("abc", 3, 5), "c"},
      {"middle 4,1", take_middle("abc", 4, 1), ""},
      {"middle 0,2", take_middle("abc", 0, 2), ""},
      {"middle -1,9", take_middle("abc", -1, 9), ""},
      {"middle 2,0", take_middle("abc", 2, 0), ""},
      {"middle INT_MIN,2", take_middle("abc", INT_MIN, 2), ""},
      {"middle INT_MAX,2", take_middle("abc", INT_MAX, 2), ""},
      {"middle 1,INT_MAX", take_middle("abc", 1, INT_MAX), "abc"},
      {"middle 2,1 of zhongwen", take_middle(kZhongWen, 2, 2), "\xD0\xCE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    EXPECT_EQ(c.got, c.want);
  }
}

struct FindCase {
  Text t, sub;
  optional<int> start;
  bool ignore_case;
  int want;
};

TEST(TextOps, FindFirst) {
  const FindCase cases[] = {
      {"abcabc", "bc", nullopt, false, 2},
      {"abcabc", "bc", 0, false, 2},
      {"abcabc", "bc", -7, false, 2},
      {"abcabc", "bc", INT_MIN, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 6, false, -1},  // would run past the end
      {"abcabc", "bc", 7, false, -1},
      {"abcabc", "bc", INT_MAX, false, -1},
      {"abc", "abcd", nullopt, false, -1},
      {"", "a", nullopt, false, -1},
      // Empty sub: 1 whenever the searched region holds a byte.
      {"abcabc", "", nullopt, false, 1},
      {"abcabc", "", 4, false, 1},
      {"", "", nullopt, false, -1},
      {"abc", "", 4, false, -1},
      // ASCII case folding, trail bytes included.
      {"Host: X", "host:", nullopt, true, 1},
      {"Host: X", "host:", nullopt, false, -1},
      {"xAbyab", "ab", nullopt, true, 2},
      {"xaBy", "Ab", nullopt, true, 2},
      {"\x81\x41", "\x81\x61", nullopt, true, 1},
      {"\x81\x41", "\x81\x61", nullopt, false, -1},
      {"x[y", "{", nullopt, true, -1},  // only A-Z fold
      // Matches only at the first byte of a unit.
      {kZhongWen, "\xD0\xCE", nullopt, false, -1},
      {"\x81" "aa", "a", nullopt, false, 3},   // the first a is a trail byte
      {"\x81" "Aa", "a", nullopt, true, 3},
      // B0 D0 | CE 'x' | D0 CE: the ASCII byte is a trail, the match is at 5.
      {"\xB0\xD0\xCE" "x" "\xD0\xCE", "\xD0\xCE", nullopt, false, 5},
      // Units are counted from the start position.
      {kZhongWen, "\xD0\xCE", 2, false, 2},
      {kZhongWen, "\xCE\xC4" /* 文 */, 2, false, -1},
      // A lone lead byte at the end is a unit of its own.
      {"ab\xB0", "\xB0", nullopt, false, 3},
      {"\xB0\xB0\xB0", "\xB0", 2, false, 2},
      {"\xB0\xB0\xB0", "\xB0", 3, false, 3},
      {"\xB0\xB0\xB0\xB0", "\xB0", 4, false, 4},
      {"\xB0\xB0\xB0\xB0", "\xB0\xB0", 2, false, 2},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.t << "\" / \"" << c.sub << "\" from "
                                    << (c.start ? std::to_string(*c.start) : "absent")
                                    << (c.ignore_case ? " ignoring case" : ""));
    if (c.start) {
      EXPECT_EQ(find_first(c.t, c.sub, *c.start, c.ignore_case), c.want);
    } else {
      EXPECT_EQ(find_first(c.t, c.sub, 1, c.ignore_case), c.want);
      if (!c.ignore_case) {
        EXPECT_EQ(find_first(c.t, c.sub), c.want);
      }
    }
  }
}

TEST(TextOps, FindLast) {
  const FindCase cases[] = {
      {"abcabc", "bc", nullopt, false, 5},
      {"abcabc", "bc", 7, false, 5},
      {"abcabc", "bc", INT_MAX, false, 5},
      {"abcabc", "bc", 6, false, 2},  // must end before position 6
      {"abcabc", "bc", 5, false, 2},
      {"abcabc", "bc", 4, false, 2},
      {"abcabc", "bc", 3, false, -1},
      {"abcabc", "bc", 1, false, -1},
      {"abcabc", "bc", 0, false, -1},
      {"abcabc", "bc", INT_MIN, false, -1},
      {"[::1]:8080", ":", nullopt, false, 6},
      {"aaaa", "aa", nullopt, false, 3},  // overlapping candidates count
      {"abc", "", nullopt, false, 1},
      {"abc", "", 2, false, 1},
      {"abc", "", 1, false, -1},
      {"", "", nullopt, false, -1},
      {"aBcAbC", "abc", nullopt, true, 4},
      {"aBcAbC", "abc", nullopt, false, -1},
      {kZhongWen, "\xD0\xCE", nullopt, false, -1},
      {"\xD0\xCE" "a" "\xD0\xCE\xD0", "\xCE\xD0", nullopt, false, -1},
      {"a\xB0", "\xB0", nullopt, false, 2},
      {"\xB0\xB0\xB0", "\xB0", nullopt, false, 3},  // B0B0 | lone B0
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.t << "\" / \"" << c.sub << "\" before "
                                    << (c.start ? std::to_string(*c.start) : "absent")
                                    << (c.ignore_case ? " ignoring case" : ""));
    EXPECT_EQ(find_last(c.t, c.sub, c.start, c.ignore_case), c.want);
  }
}

TEST(TextOps, LowerAsciiLeavesTrailBytes) {
  struct Case { Text t, want; } cases[] = {
      {"ABC\x81\x41", "abc\x81\x41"},
      {"\x81" "AB", "\x81" "Ab"},
      {"Zz@[\xB0", "zz@[\xB0"},  // lone lead byte unchanged
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(lower_ascii(c.t), c.want);
  }
}

TEST(TextOps, Spaces) {
  // Full-width space A1 A1.
  struct Case { Text t, trimmed, removed; } cases[] = {
      {"  a b  ", "a b", "ab"},
      {"\xA1\xA1" "a" "\xA1\xA1", "a", "a"},
      {" a b \xA1\xA1" "c", "a b \xA1\xA1" "c", "abc"},
      {"\ta\t", "\ta\t", "\ta\t"},
      {"a\r\n", "a\r\n", "a\r\n"},
      {"ab \xB0", "ab ", "ab"},     // lone lead byte dropped, space before it stays
      {" \xB0", "", ""},
      {"   ", "", ""},
      {"\xA1\xA1\xA1\xA1", "", ""},
      {"", "", ""},
      // A1 that is a trail byte, or the lead of a unit that is no space.
      {"\xB0\xA1\xA1" "x", "\xB0\xA1\xA1" "x", "\xB0\xA1\xA1" "x"},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1", "\xB0\xA1"},
      {"a \xA1", "a ", "a"},
      {"\xB0 ", "\xB0 ", "\xB0 "},  // 0x20 as a trail byte is no space
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(trim_spaces(c.t), c.trimmed);
    EXPECT_EQ(remove_spaces(c.t), c.removed);
  }
}

TEST(TextOps, ReplaceText) {
  struct Case {
    Text t, find, replacement;
    int start;
    optional<int> count;
    bool case_sensitive;
    Text want;
  } cases[] = {
      {"aXbxc", "x", "-", 1, nullopt, false, "a-b-c"},
      {"aXbxc", "x", "-", 1, nullopt, true, "aXb-c"},
      {"aaa", "aa", "b", 1, nullopt, true, "ba"},
      {"abab", "a", "c", 1, 1, false, "cbab"},
      {"abab", "a", "c", 1, -1, false, "cbcb"},  // a negative count never runs out
      {"abab", "a", "c", 1, 0, false, "abab"},
      {"abcabc", "b", "", 3, nullopt, false, "abcac"},
      {"abc", "a", "x", INT_MIN, nullopt, false, "xbc"},
      {"abc", "a", "x", 4, nullopt, false, "abc"},
      {"abc", "a", "x", INT_MAX, nullopt, false, "abc"},
      {"abc", "", "x", 1, nullopt, false, "abc"},
      {"", "a", "x", 1, nullopt, false, ""},
      {"aa", "a", "aa", 1, nullopt, false, "aaaa"},  // replacement not searched again
      {kZhongWen, "\xD0\xCE", "x", 1, nullopt, false, kZhongWen},
      {kZhongWen, "\xD0\xCE", "x", 2, nullopt, false, "\xD6" "x" "\xC4"},
      {"\x81\x41", "\x81\x61", "z", 1, nullopt, false, "z"},
      // Lone lead byte: dropped when the walk reaches it, kept when it doesn't.
      {"ab\xB0", "x", "y", 1, nullopt, false, "ab"},
      {"ab\xB0", "xy", "z", 1, nullopt, false, "ab\xB0"},
      {"xb\xB0", "x", "y", 1, 1, false, "yb\xB0"},
      {"\xB0\xB0\xB0", "x", "y", 1, nullopt, false, "\xB0\xB0"},  // B0B0 | lone B0
      {"\xB0\xB0", "x", "y", 1, nullopt, false, "\xB0\xB0"},
      {"a\xB0", "\xB0", "-", 1, nullopt, false, "a-"},
      // After a match the units are counted afresh.
      {"\xB0\xB0\xB0", "\xB0", "-", 1, nullopt, false, "---"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.t << "\" \"" << c.find << "\" -> \""
                                    << c.replacement << "\" from " << c.start);
    EXPECT_EQ(replace_text(c.t, c.find, c.replacement, c.start, c.count, c.case_sensitive),
              c.want);
  }
}

TEST(TextOps, SplitBy) {
  struct Case { Text t, sep; TextArray want; } cases[] = {
      {"a;b;;c;", ";", {"a", "b", "", "c"}},
      {";a", ";", {"", "a"}},
      {";", ";", {""}},
      {"abc", ";", {"abc"}},
      {"", ";", {}},
      {"abc", "", {"abc"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"aXbx", "x", {"aXb"}},                       // case always matters
      {"\xB0;x;y", ";", {"\xB0;x", "y"}},          // ';' as a trail byte
      {"a;\xB0", ";", {"a", "\xB0"}},              // lone lead byte kept
      {kZhongWen, "\xD0\xCE", {kZhongWen}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.t << "\" by \"" << c.sep << '"');
    EXPECT_EQ(split_by(c.t, c.sep), c.want);
  }
}

TEST(TextOps, Numbers) {
  struct Case { Text t; int want; } cases[] = {
      {"8080", 8080},
      {" 12ab", 12},
      {"-7", -7},
      {"+5", 5},
      {"\t\n 42", 42},
      {"\xA3\xB8\xA3\xB0\xA3\xB8\xA3\xB0" /* ８０８０ */, 8080},
      {"\xA1\xA1\xA3\xB4\xA3\xB4\xA3\xB3" /* 　４４３ */, 443},
      {"\xA3\xAD" "5" /* －5 */, -5},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"+-3", 0},
      {"12\xB0", 12},
      {"\xB0", 0},
      {"2147483648", INT_MIN},  // wraps
      {"-2147483648", INT_MIN},
      {"4294967297", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(parse_int(c.t), c.want);
  }
  struct HexCase { int v; Text want; } hex[] = {
      {10, "A"}, {255, "FF"}, {31, "1F"}, {0, "0"}, {-1, "FFFFFFFF"}, {INT_MIN, "80000000"},
  };
  for (const HexCase& c : hex) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(hex_text(c.v), c.want);
  }
  EXPECT_EQ(bit_or(0x80000000, 0x100), static_cast<int>(0x80000100u));
}

// ---- the searching routines against a plain walk of the unit rules ---------

bool same_at(const Text& t, std::size_t k, const Text& sub, bool ignore_case) {
  auto fold = [&](unsigned char c) { return ignore_case && c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
  for (std::size_t i = 0; i < sub.size(); ++i)
    if (fold(static_cast<unsigned char>(t[k + i])) != fold(static_cast<unsigned char>(sub[i])))
      return false;
  return true;
}

// Next candidate after k, or t.size() when the walk ends.
std::size_t step(const Text& t, std::size_t k) {
  return static_cast<unsigned char>(t[k]) >= 0x80 ? (k + 1 == t.size() ? t.size() : k + 2) : k + 1;
}

int walk_find(const Text& t, const Text& sub, std::size_t from, std::size_t end,
              bool ignore_case, bool last) {
  if (from >= end) return -1;
  if (sub.empty()) return 1;
  int found = -1;
  for (std::size_t k = from; k < t.size(); k = step(t, k)) {
    if (k + sub.size() <= end && same_at(t, k, sub, ignore_case)) {
      found = static_cast<int>(k + 1);
      if (!last) break;
    }
  }
  return found;
}

Text walk_replace(const Text& t, const Text& find, const Text& rep, int start,
                  optional<int> count, bool cs) {
  const std::size_t b = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (t.empty() || find.empty() || (count && *count == 0) || b >= t.size()) return t;
  Text out = t.substr(0, b);
  int left = count.value_or(-1);
  std::size_t k = b;
  while (t.size() - k >= find.size()) {
    if (same_at(t, k, find, !cs)) {
      out += rep;
      k += find.size();
      if (count && --left == 0) break;
    } else if (static_cast<unsigned char>(t[k]) >= 0x80 && k + 1 == t.size()) {
      return out;
    } else {
      const std::size_t n = step(t, k);
      out.append(t, k, n - k);
      k = n;
    }
  }
  return out + t.substr(k);
}

TextArray walk_split(const Text& t, const Text& sep) {
  if (t.empty()) return {};
  if (sep.empty()) return {t};
  TextArray out;
  std::size_t piece = 0, k = 0;
  while (t.size() - k >= sep.size()) {
    if (same_at(t, k, sep, false)) {
      out.push_back(t.substr(piece, k - piece));
      k += sep.size();
      piece = k;
    } else if (static_cast<unsigned char>(t[k]) >= 0x80 && k + 1 == t.size()) {
      break;
    } else {
      k = step(t, k);
    }
  }
  if (piece < t.size()) out.push_back(t.substr(piece));
  return out;
}

TEST(TextOps, SearchingAgreesWithAPlainUnitWalk) {
  // Short texts over bytes that exercise every rule: letters of both cases,
  // lead bytes (also A1, the first byte of the full-width space), ASCII trails.
  const char alphabet[] = {'a', 'A', 'b', ';', ' ', '\x81', '\xA1', '\xB0', '\x61'};
  std::mt19937 rng(2024);
  auto pick = [&](int max_len) {
    Text s(std::uniform_int_distribution<int>(0, max_len)(rng), 'a');
    for (char& c : s) c = alphabet[rng() % sizeof alphabet];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const Text t = pick(14);
    Text sub = pick(3);
    if (rng() % 3 == 0 && !t.empty()) {  // often a piece of t itself
      const std::size_t at = rng() % t.size();
      sub = t.substr(at, rng() % 4);
    }
    const int start = static_cast<int>(rng() % (t.size() + 4)) - 1;
    const bool ic = rng() % 2;
    const optional<int> count =
        rng() % 2 ? optional<int>() : optional<int>(static_cast<int>(rng() % 4) - 1);
    SCOPED_TRACE(testing::Message() << "round " << round << " start " << start);
    const std::size_t b = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
    ASSERT_EQ(find_first(t, sub, start, ic), walk_find(t, sub, b, t.size(), ic, false));
    ASSERT_EQ(find_last(t, sub, nullopt, ic), walk_find(t, sub, 0, t.size(), ic, true));
    const std::size_t e = start < 1 ? 0 : std::min<std::size_t>(b, t.size());
    ASSERT_EQ(find_last(t, sub, start, ic), e == 0 ? -1 : walk_find(t, sub, 0, e, ic, true));
    ASSERT_EQ(replace_text(t, sub, "<>", start, count, !ic), walk_replace(t, sub, "<>", start, count, !ic));
    ASSERT_EQ(split_by(t, sub), walk_split(t, sub));
  }
}

TEST(TextOps, LongTexts) {
  // A long run of lead bytes where the sought bytes straddle every unit, with
  // the one aligned occurrence at the very end.
  Text t;
  for (int i = 0; i < 50000; ++i) t += "\xC4\xD6";
  const Text sub = "\xD6\xC4";
  EXPECT_EQ(find_first(t, sub), -1);
  EXPECT_EQ(find_first(t, sub, 2), 2);
  t += "a\xD6\xC4";
  EXPECT_EQ(find_first(t, sub), 100002);
  EXPECT_EQ(find_last(t, sub), 100002);
  EXPECT_EQ(text_len(replace_text(t, sub, "")), 100001);
  EXPECT_EQ(split_by(t, sub).size(), 1u);

  // Folded searches scan for both cases of the first letter over long spans.
  Text ascii(100000, 'b');
  ascii[20000] = 'A';
  ascii[70000] = 'a';
  ascii[70001] = 'Z';
  EXPECT_EQ(find_first(ascii, "az", 1, true), 70001);
  EXPECT_EQ(find_first(ascii, "aB", 1, true), 20001);
  EXPECT_EQ(find_first(ascii, "aB", 20002, true), -1);
  EXPECT_EQ(find_last(ascii, "ab", nullopt, true), 20001);
  EXPECT_EQ(replace_text(ascii, "az", "").size(), 99998u);
}

}  // namespace
}  // namespace quoril

// Text, Bytes and TextArray values.
#include "text/text.h"

#include <gtest/gtest.h>

namespace quoril {
namespace {

TEST(TextValues, CmpOrdersUnsignedBytesAndPrefixesFirst) {
  struct Case { Text a, b; int want; } cases[] = {
      {"", "", 0},
      {"", "a", -1},
      {"a", "", 1},
      {"ab", "abc", -1},
      {"abc", "ab", 1},
      {"a", "B", 1},  // 0x61 > 0x42: case matters
      {"abc", "abc", 0},
      {"\xB0\xA1" /* 啊 */, "z", 1},  // a lead byte orders after ASCII
      {"z", "\x81\x40", -1},
      {"\xB0\xA1", "\xB0\xA2", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.a << "\" vs \"" << c.b << '"');
    EXPECT_EQ(text_cmp(c.a, c.b), c.want);
  }
}

TEST(TextValues, MakingAndMeasuring) {
  EXPECT_EQ(text_len(""), 0);
  EXPECT_EQ(text_len("\xD6\xD0\xCE\xC4" /* 中文 */), 4);
  EXPECT_EQ(join_texts(Text(), Text()), "");
  EXPECT_EQ(join_texts("url=", "", "&"), "url=&");
  EXPECT_EQ(char_text(0), "");
  EXPECT_EQ(char_text(0x41), "A");
  EXPECT_EQ(char_text(0x141), "A");  // low 8 bits only
  EXPECT_EQ(char_text(0x100), "");   // low 8 bits zero: no zero byte in a Text
  EXPECT_EQ(char_text(-1), "\xFF");
  EXPECT_EQ(space_text(0), "");
  EXPECT_EQ(space_text(-5), "");
  EXPECT_EQ(space_text(3), "   ");
  Text orig = "ab";
  Text copy = copy_text(orig);
  copy[0] = 'x';
  EXPECT_EQ(orig, "ab");
}

TEST(TextValues, JoiningOntoAMovedHead) {
  // Built piece by piece it equals the one-shot join.
  Text acc, want;
  for (int i = 0; i < 1000; ++i) {
    const Text piece = i % 2 ? "\xD6\xD0" /* 中 */ : "ab";
    acc = join_texts(std::move(acc), piece, "-");
    want += piece + "-";
  }
  EXPECT_EQ(acc, want);

  // A part that views the head itself is read before the head grows.
  Text self = "abc";
  self = join_texts(std::move(self), self, std::string_view(self).substr(1));
  EXPECT_EQ(self, "abcabcbc");
  Text big(100, 'x');
  big.shrink_to_fit();
  big = join_texts(std::move(big), big);
  EXPECT_EQ(big, Text(200, 'x'));

  Bytes b = {1, 2};
  b = join_bytes(std::move(b), {b, Bytes{0, 3}});
  EXPECT_EQ(b, (Bytes{1, 2, 1, 2, 0, 3}));
}

TEST(BytesValues, Operations) {
  EXPECT_EQ(bytes_len(zero_bytes(1024)), 1024);
  EXPECT_EQ(zero_bytes(1024), Bytes(1024, 0));
  EXPECT_TRUE(zero_bytes(0).empty());
  EXPECT_TRUE(zero_bytes(-3).empty());
  EXPECT_EQ(bytes_len(text_to_bytes("ab")), 2);
  EXPECT_TRUE(text_to_bytes("").empty());
  EXPECT_EQ(join_bytes({Bytes{1, 0}, Bytes{}, Bytes{0xFF}}), (Bytes{1, 0, 0xFF}));

  const Bytes abc = {0x61, 0x62, 0x63};
  EXPECT_EQ(byte_at(abc, 1), 0x61);
  EXPECT_EQ(byte_at(abc, 3), 0x63);
  EXPECT_TRUE(bytes_head(abc, -1).empty());
  EXPECT_TRUE(bytes_head(abc, 0).empty());
  EXPECT_EQ(bytes_head(abc, 2), (Bytes{0x61, 0x62}));
  EXPECT_EQ(bytes_head(abc, 8), abc);

  EXPECT_TRUE(bytes_equal(Bytes{}, Bytes{}));
  EXPECT_FALSE(bytes_equal(Bytes{1, 2}, Bytes{1, 2, 3}));
  EXPECT_FALSE(bytes_equal(Bytes{1, 2}, Bytes{1, 3}));
  EXPECT_TRUE(bytes_equal(Bytes{0, 2}, Bytes{0, 2}));
}

TEST(BytesValues, ToTextStopsAtTheFirstZero) {
  struct Case { Bytes b; Text want; } cases[] = {
      {{0x61, 0x00, 0x62}, "a"},
      {{0x00, 0x61}, ""},
      {{0x61, 0x62}, "ab"},
      {{}, ""},
      {{0xD6, 0xD0, 0x00}, "\xD6\xD0" /* 中 */},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "bytes " << c.b.size());
    EXPECT_EQ(bytes_to_text(c.b), c.want);
  }
}

TEST(TextArrayValues, AppendAndRead) {
  TextArray a;
  EXPECT_EQ(item_count(a), 0);
  append_item(a, "x");
  append_item(a, "");
  EXPECT_EQ(item_count(a), 2);
  EXPECT_EQ(item_at(a, 1), "x");
  EXPECT_EQ(item_at(a, 2), "");
}

}  // namespace
}  // namespace quoril

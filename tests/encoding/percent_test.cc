// Percent-encoding of GBK and UTF-8 bytes.
#include "encoding/percent.h"

#include <cstdio>
#include <string>

#include "gtest/gtest.h"

namespace quoril {
namespace {

TEST(UrlEncode, Cases) {
  struct Case {
    const char* text;
    bool keep_plain;
    bool utf8_first;
    const char* want;
  };
  const Case cases[] = {
      {"http://a.b/c?d=1", false, false,
       "%68%74%74%70%3A%2F%2F%61%2E%62%2F%63%3F%64%3D%31"},
      {"\xD6\xD0" /* 中 */, false, false, "%D6%D0"},
      {"\n", false, false, "%0A"},
      {"A", false, false, "%41"},
      {"\xAB", false, false, "%AB"},
      {"\xD6\xD0" /* 中 */, false, true, "%E4%B8%AD"},
      {"a-b_c.d~e f/9*+%", true, false, "a-b%5Fc.d%7Ee%20f%2F9%2A%2B%25"},
      {"\xD6\xD0" /* 中 */, true, false, "%D6%D0"},
      {"a\xD6\xD0" /* 中 */ "z", true, true, "a%E4%B8%ADz"},
      {"", false, false, ""},
      {"", true, false, ""},
      {"", false, true, ""},
      {"", true, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(url_encode(c.text, c.keep_plain, c.utf8_first), c.want);
  }
}

// Every byte value, on its own, with and without keep_plain.
TEST(UrlEncode, EveryByte) {
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE(b);
    const Text one(1, static_cast<char>(b));
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", b);
    const bool plain = (b >= '-' && b <= '9' && b != '/') ||
                       (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    EXPECT_EQ(url_encode(one), escaped);
    EXPECT_EQ(url_encode(one, true), plain ? one : Text(escaped));
  }
}

}  // namespace
}  // namespace quoril

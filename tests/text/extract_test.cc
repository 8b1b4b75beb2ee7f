// Cutting a value out of a text by its delimiters; header-line values.
#include "text/extract.h"

#include <gtest/gtest.h>

#include <climits>

namespace quoril {
namespace {

// #引号, the placeholder for a double quote.
#define QUOTE "#\xD2\xFD\xBA\xC5"

TEST(Extract, Between) {
  struct Case {
    Text text, leading, trailing;
    int start;
    bool case_sensitive;
    Text want;
  } cases[] = {
      {"var a = 1; scope.short_url = \"abc123\"; go();", "scope.short_url = \"", "\";", 1, false, "abc123"},
      {"SCOPE.Short_URL = \"xyz\";", "scope.short_url = \"", "\";", 1, false, "xyz"},
      {"SCOPE.Short_URL = \"xyz\";", "scope.short_url = \"", "\";", 1, true, ""},
      {"a href=\"/p\" b", "href=" QUOTE, QUOTE, 1, false, "/p"},
      {"x\"y\"=1;", "x" QUOTE "y" QUOTE, ";", 1, true, "=1"},
      {"k=;", "k=", ";", 1, false, ""},
      {"k=1;k=2;", "k=", ";", 1, false, "1"},
      {"k=1;k=2;", "k=", ";", 0, false, "1"},
      {"k=1;k=2;", "k=", ";", INT_MIN, false, "1"},
      {"k=1;k=2;", "k=", ";", 2, false, "2"},
      {"k=1;k=2;", "k=", ";", INT_MAX, false, ""},
      {"k=1", "k=", ";", 1, false, ""},   // no trailing delimiter
      {"1;", "k=", ";", 1, false, ""},    // no leading delimiter
      {"ab", "b", "a", 1, false, ""},     // trailing only before the leading
      {"abk=", "k=", "", 1, false, ""},   // leading at the very end
      {"abc", "", "c", 1, false, "ab"},
      {"abc", "", "c", 3, false, "ab"},
      {"abc", "a", "", 1, false, ""},
      {"", "", "", 1, false, ""},
      // Delimiters match at unit boundaries only: the '=' of B0 '=' is a trail.
      {"\xB0=1;=2;", "=", ";", 1, false, "2"},
      {"\xD6\xD0" "k=\xCE\xC4;" /* 中k=文; */, "k=", ";", 1, false, "\xCE\xC4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" between \"" << c.leading << "\" and \""
                                    << c.trailing << "\" from " << c.start);
    EXPECT_EQ(extract_between(c.text, c.leading, c.trailing, c.start, c.case_sensitive), c.want);
  }
  EXPECT_EQ(extract_between("k=1;k=2;", "K=", ";"), "1");  // defaults ignore case
}

TEST(Extract, TextAfterColon) {
  struct Case { Text line, want; } cases[] = {
      {"Location: /next ", "/next"},
      {"Set-Cookie:a=1; path=/", "a=1; path=/"},
      {"Host: a:8080", "a:8080"},
      {"no colon", ""},
      {"X:", ""},
      {":v", "v"},
      {"A:\xA1\xA1" "v\t\xA1\xA1" /* full-width spaces */, "v\t"},
      {"\xB0:x: y", "y"},  // the first colon is a trail byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(text_after_colon(c.line), c.want);
  }
}

}  // namespace
}  // namespace quoril

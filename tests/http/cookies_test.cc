#include "http/cookies.h"

#include <gtest/gtest.h>

namespace quoril {
namespace {

struct MergeCase {
  const char* stored;
  const char* received;
  const char* stored_after;
  const char* received_after;
};

TEST(CookiesTest, MergesByName) {
  const MergeCase cases[] = {
      {"a=1; b=2; c=3", "b=20; c=deleted; d=4", "b=20; d=4; a=1", "b=20;c=deleted;d=4"},
      {"a=1; a=2", "b=1", "b=1; a=1", "b=1"},
      {"a=1", "b=1; b=2", "b=1; b=2; a=1", "b=1;b=2"},
      {"flag; x=1", "flag=on", "flag=on; x=1", "flag=on"},
      {"x = 1 ; y=a b", "z=9", "z=9; x=1; y=ab", "z=9"},
      {"a=1;;b=2", "c=3", "c=3; a=1; ; b=2", "c=3"},
      {"", "", "", ""},
      {"", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
      {"a=1; b=deleted; a=2;", "", "a=1", ""},
      {"a=1", "a=deleted", "", "a=deleted"},
      {"a=DELETED; bdeleted; =deleted", "", "a=DELETED; bdeleted", ""},
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      {";a=1", "", "; a=1", ""},
      // Full-width spaces (A1 A1) go as well.
      {"a=\xA1\xA1" "1", "b=2\xA1\xA1", "b=2; a=1", "b=2"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " | " + c.received);
    Text stored = c.stored, received = c.received;
    Text result = merge_cookies(stored, received);
    EXPECT_EQ(stored, c.stored_after);
    EXPECT_EQ(result, c.stored_after);
    EXPECT_EQ(received, c.received_after);
  }
}

TEST(CookiesTest, NamesAndListing) {
  EXPECT_EQ(cookie_name(" sid = 7=8"), "sid");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name("=v"), "");
  EXPECT_TRUE(cookie_listed({"a=1", " b =2"}, "b"));
  EXPECT_FALSE(cookie_listed({"a=1", "B=2"}, "b"));
  EXPECT_FALSE(cookie_listed({}, ""));
}

}  // namespace
}  // namespace quoril

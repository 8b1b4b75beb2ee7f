#include "app/short_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/share_env.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

using test::Reply;
using test::TestServer;

constexpr char kPath[] = "/share/share.php";

class ShortLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    host_ = "127.0.0.1:" + std::to_string(server_.port());
    test::set_share_host(host_);
  }
  void TearDown() override { test::set_share_host(""); }

  TestServer server_;
  std::string host_;
};

TEST(ShareHost, BuiltInUnlessTheEnvironmentNamesOne) {
  struct Case {
    const char* set;
    const char* host;
  } cases[] = {
      {"", "service.weibo.com"},
      {"  ", "service.weibo.com"},
      {"mirror.example:8080", "mirror.example:8080"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    test::set_share_host(c.set);
    EXPECT_EQ(share_host(), c.host);
  }
  test::set_share_host("");
  EXPECT_EQ(share_request_address("a.b/c"),
            "http://service.weibo.com/share/share.php?"
            "url=%68%74%74%70%3A%2F%2F%61%2E%62%2F%63&title=ZOVEK&pic=");
}

TEST_F(ShortLinkTest, SendsTheAddressEncodedWithTheDefaultHeaders) {
  server_.set(kPath,
              Reply::ok("<script>scope.short_url = \"http://t.cn/A6x\";</script>"));
  struct Case {
    Text box;
    std::string query;
  } cases[] = {
      {"a.b/c", "url=%68%74%74%70%3A%2F%2F%61%2E%62%2F%63"},
      // Spaces around the address go; the scheme is tested in any case.
      {" \xA1\xA1https://a.b \xA1\xA1" /* full-width spaces */,
       "url=%68%74%74%70%73%3A%2F%2F%61%2E%62"},
      {"HTTP://A.B", "url=%48%54%54%50%3A%2F%2F%41%2E%42"},
      {"httpbin.org/x",
       "url=%68%74%74%70%3A%2F%2F%68%74%74%70%62%69%6E%2E%6F%72%67%2F%78"},
      {"http://a.b/\xD6\xD0" /* 中 */,
       "url=%68%74%74%70%3A%2F%2F%61%2E%62%2F%D6%D0"},
      {"", "url=%68%74%74%70%3A%2F%2F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    const std::size_t before = server_.requests().size();
    EXPECT_EQ(make_short_link(c.box), "http://t.cn/A6x");
    const std::vector<test::Request> seen = server_.requests();
    ASSERT_EQ(seen.size(), before + 1);
    const test::Request& got = seen.back();
    const std::string target =
        std::string(kPath) + "?" + c.query + "&title=ZOVEK&pic=";
    EXPECT_EQ(got.request_line, "GET " + target + " HTTP/1.1");
    const std::string expected[] = {
        "Referer: http://" + host_ + target,
        "Accept: */*",
        "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded",
        "Host: " + host_,
        "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qelt; "
        ".NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)",
    };
    for (const std::string& line : expected) {
      EXPECT_EQ(std::count(got.header_lines.begin(), got.header_lines.end(),
                           line),
                1)
          << line;
    }
    EXPECT_EQ(got.header("Cookie"), "");
    EXPECT_EQ(got.body, "");
  }
}

TEST_F(ShortLinkTest, CutsTheLinkOutOfThePageOrSaysWhatCameBack) {
  struct Case {
    const char* name;
    Reply page;
    ShortLinkReply want;
  } cases[] = {
      {"any letter case",
       Reply::ok("SCOPE.SHORT_URL = \"x\"; scope.short_url = \"y\";"),
       {"x", true, "HTTP/1.1 200 OK"}},
      {"untrimmed, first end marker",
       Reply::ok("scope.short_url = \" a\"b \";"),
       {" a\"b ", true, "HTTP/1.1 200 OK"}},
      // The page is UTF-8; the link comes back in code page 936.
      {"decoded", Reply::ok("scope.short_url = \"http://t.cn/\xE4\xB8\xAD\";"),
       {"http://t.cn/\xD6\xD0" /* 中 */, true, "HTTP/1.1 200 OK"}},
      {"other spacing", Reply::ok("scope.short_url=\"x\";"),
       {"", true, "HTTP/1.1 200 OK"}},
      {"no end marker", Reply::ok("scope.short_url = \"x"),
       {"", true, "HTTP/1.1 200 OK"}},
      {"error page", Reply{"503 Service Unavailable", {}, "busy"},
       {"", true, "HTTP/1.1 503 Service Unavailable"}},
      {"closed without a byte", Reply{"200 OK", {}, "", test::Act::kCloseAtOnce},
       {"", false, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.set(kPath, c.page);
    const ShortLinkReply got = request_short_link("a.b/c");
    EXPECT_EQ(got.link, c.want.link);
    EXPECT_EQ(got.answered, c.want.answered);
    EXPECT_EQ(got.status_line, c.want.status_line);
  }
}

TEST_F(ShortLinkTest, APagePastSixteenMebibytesGivesNoLink) {
  std::string page = "scope.short_url = \"x\";";
  page.resize((std::size_t{16} << 20) + 1, ' ');
  server_.set(kPath, Reply::ok(page));
  EXPECT_EQ(request_short_link("a.b/c").link, "");
}

TEST(ShortLinkUnreached, NoServerAtAll) {
  int port = 0;
  {
    TestServer gone;
    ASSERT_TRUE(gone.ok());
    port = gone.port();
  }
  test::set_share_host("127.0.0.1:" + std::to_string(port));
  const ShortLinkReply got = request_short_link("a.b/c");
  test::set_share_host("");
  EXPECT_EQ(got.link, "");
  EXPECT_FALSE(got.answered);
  EXPECT_EQ(got.status_line, "");
}

}  // namespace
}  // namespace quoril

// What a user may paste, through the generate command and a fake window, up
// to a loopback share page: every input ends in the link or a message, the
// request carries the input intact and only inside the query.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/handlers.h"
#include "app/short_link.h"
#include "encoding/codepage.h"
#include "encoding/percent.h"
#include "tests/app/fake_ui.h"
#include "tests/app/share_env.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

using test::FakeUi;

constexpr char kLink[] = "http://t.cn/A6x";
// 请先输入要缩短的网址。
const Text kNeedAddress =
    "\xC7\xEB\xCF\xC8\xCA\xE4\xC8\xEB\xD2\xAA\xCB\xF5\xB6\xCC\xB5\xC4\xCD\xF8"
    "\xD6\xB7\xA1\xA3";

// The box's text as the window hands it over: the Qt window through UTF-8,
// the Win32 window through UTF-16; both must agree.
Text through_window(const std::string& utf8) {
  const Text via_utf8 = utf8_to_ansi(Bytes(utf8.begin(), utf8.end()));
  EXPECT_EQ(wide_to_gbk(utf8_to_wide(Bytes(utf8.begin(), utf8.end()))), via_utf8);
  return via_utf8;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    test::set_share_host("127.0.0.1:" + std::to_string(server_.port()));
    server_.set("/share/share.php",
                test::Reply::ok(std::string("scope.short_url = \"") + kLink + "\";"));
  }
  void TearDown() override { test::set_share_host(""); }

  test::TestServer server_;
};

TEST_F(BadInputTest, EmojiBecomeQuestionMarksAtTheWindow) {
  // U+1F600 and U+2764 U+FE0F: 936 has neither; the rest of the text stays.
  const Text box = through_window("http://a.b/\xF0\x9F\x98\x80x\xE2\x9D\xA4\xEF\xB8\x8F\xE4\xB8\xAD");
  ASSERT_GE(box.size(), 14u);
  EXPECT_EQ(box.substr(0, 11), "http://a.b/");
  EXPECT_EQ(box.substr(box.size() - 2), "\xD6\xD0");  // 中
  EXPECT_EQ(box.find_first_not_of("?x", 11), box.size() - 2);
  EXPECT_NE(box.find('x', 11), Text::npos);
}

TEST_F(BadInputTest, EveryPasteEndsInTheLinkOrAMessage) {
  Text huge = "http://a.b/";
  while (huge.size() < (std::size_t{1} << 20)) huge += "x\xD6\xD0/";  // x中/
  const struct {
    const char* name;
    Text box;
    int asks;  // 0 no request, 1 one request, 2 one or none: a transport
               // may refuse a request head of megabytes (libcurl stops at 1 MiB)
  } cases[] = {
      {"a pasted mebibyte", huge, 2},
      {"emoji, after the window's conversion",
       through_window("http://a.b/\xF0\x9F\x98\x80?q=\xE2\x9D\xA4"), 1},
      {"CR LF inside", "http://a.b/x\r\nHost: evil.example\r\n\r\nGET / HTTP/1.1", 1},
      {"a lone lead byte at the end", "http://a.b/\xD6", 1},
      {"an empty box", "", 0},
      {"spaces only", "  \xA1\xA1 ", 0},  // half- and full-width
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = server_.requests().size();
    FakeUi ui;
    ui.box = c.box;
    const bool linked = on_generate(ui);

    const std::vector<test::Request> requests = server_.requests();
    const std::size_t reached = requests.size() - before;
    std::printf("%s: %s, %zu request(s) reached the page\n", c.name,
                linked ? "the link" : "a message", reached);
    if (c.asks == 2) {
      EXPECT_LE(reached, 1u);
    } else {
      ASSERT_EQ(reached, static_cast<std::size_t>(c.asks));
    }
    if (c.asks == 0) {
      EXPECT_FALSE(linked);
      EXPECT_EQ(ui.writes, 0);
      ASSERT_EQ(ui.shown.size(), 1u);
      EXPECT_EQ(ui.shown[0].first, kNeedAddress);
      continue;
    }
    // Either the link, or the address kept and a message saying why.
    if (linked) {
      EXPECT_EQ(reached, 1u);
      EXPECT_EQ(ui.box, kLink);
      EXPECT_TRUE(ui.shown.empty());
    } else {
      EXPECT_EQ(ui.box, c.box);
      ASSERT_EQ(ui.shown.size(), 1u);
      EXPECT_FALSE(ui.shown[0].first.empty());
    }
    EXPECT_EQ(make_short_link(c.box), linked ? kLink : "");
    if (reached == 0) continue;
    // Whatever arrived carried the whole address, percent-encoded, in the
    // query of one request line; nothing of it spilled into the head.
    const test::Request& r = requests[before];
    const Text address = share_request_address(c.box);
    const std::string target = address.substr(address.find("/share/"));
    EXPECT_EQ(r.request_line, "GET " + target + " HTTP/1.1");
    EXPECT_TRUE(r.header("Host").rfind("127.0.0.1:", 0) == 0);
    EXPECT_EQ(r.header("Referer"), address);
  }
}

// The one generate that the valgrind check runs: a short address against the
// loopback page.
TEST_F(BadInputTest, OneGenerate) {
  FakeUi ui;
  ui.box = "a.b/\xD6\xD0";  // a.b/中
  EXPECT_TRUE(on_generate(ui));
  EXPECT_EQ(ui.box, kLink);
}

}  // namespace
}  // namespace quoril

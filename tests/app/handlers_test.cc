#include "app/handlers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/app/fake_ui.h"

namespace quoril {
namespace {

using Shown = std::pair<Text, Text>;  // text, title

using test::FakeUi;

const Text kTipTitle = "Tavrin\xCE\xC2\xDC\xB0\xCC\xE1\xCA\xBE";  // Tavrin温馨提示
// 未能获取短链接：无法连接到短链接服务（没有响应或超时）。
const Text kNotReached =
    "\xCE\xB4\xC4\xDC\xBB\xF1\xC8\xA1\xB6\xCC\xC1\xB4\xBD\xD3\xA3\xBA\xCE\xDE"
    "\xB7\xA8\xC1\xAC\xBD\xD3\xB5\xBD\xB6\xCC\xC1\xB4\xBD\xD3\xB7\xFE\xCE\xF1"
    "\xA3\xA8\xC3\xBB\xD3\xD0\xCF\xEC\xD3\xA6\xBB\xF2\xB3\xAC\xCA\xB1\xA3\xA9"
    "\xA1\xA3";
// 未能获取短链接：服务返回“ and ”，但其中没有短链接。
const Text kAnsweredHead =
    "\xCE\xB4\xC4\xDC\xBB\xF1\xC8\xA1\xB6\xCC\xC1\xB4\xBD\xD3\xA3\xBA\xB7\xFE"
    "\xCE\xF1\xB7\xB5\xBB\xD8\xA1\xB0";
const Text kAnsweredTail =
    "\xA1\xB1\xA3\xAC\xB5\xAB\xC6\xE4\xD6\xD0\xC3\xBB\xD3\xD0\xB6\xCC\xC1\xB4"
    "\xBD\xD3\xA1\xA3";
// 请先输入要缩短的网址。
const Text kNeedAddress =
    "\xC7\xEB\xCF\xC8\xCA\xE4\xC8\xEB\xD2\xAA\xCB\xF5\xB6\xCC\xB5\xC4\xCD\xF8"
    "\xD6\xB7\xA1\xA3";

// The fake share-page request: answers with `reply` and records what it got.
ShortLinkReply reply;
std::vector<Text> asked;
ShortLinkReply fake_request(const Text& long_address) {
  asked.push_back(long_address);
  return reply;
}

Text repeat(const Text& unit, int n) {
  Text t;
  for (int i = 0; i < n; ++i) t += unit;
  return t;
}

TEST(OnGenerate, WritesTheLinkOrKeepsTheAddressAndSaysWhy) {
  const Text long_status = "HTTP/1.1 200 " + repeat("\xD6\xD0", 60);  // 中...
  struct Case {
    const char* name;
    Text box;
    ShortLinkReply reply;
    bool asks;
    Text box_after;
    std::vector<Shown> shown;
  } cases[] = {
      {"link", " a.b/c ", {"http://t.cn/A6x", true, "HTTP/1.1 200 OK"}, true,
       "http://t.cn/A6x", {}},
      {"link kept untrimmed", "a.b", {" x ", true, "HTTP/1.1 200 OK"}, true,
       " x ", {}},
      {"not reached", "a.b/c", {"", false, ""}, true, "a.b/c",
       {{kNotReached, kTipTitle}}},
      {"answered without a link", "a.b/c",
       {"", true, "HTTP/1.1 404 Not Found"}, true, "a.b/c",
       {{kAnsweredHead + "HTTP/1.1 404 Not Found" + kAnsweredTail, kTipTitle}}},
      // 13 ASCII bytes and 43 two-byte units fill 99 of the 100 bytes shown;
      // the 44th unit would split across the limit.
      {"long status line cut between units", "a.b/c", {"", true, long_status},
       true, "a.b/c",
       {{kAnsweredHead + "HTTP/1.1 200 " + repeat("\xD6\xD0", 43) + "..." +
             kAnsweredTail,
         kTipTitle}}},
      {"empty box", "", {"unused", true, ""}, false, "",
       {{kNeedAddress, kTipTitle}}},
      {"spaces only", " \xA1\xA1 " /* full-width space */, {"unused", true, ""},
       false, " \xA1\xA1 ", {{kNeedAddress, kTipTitle}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    ui.box = c.box;
    reply = c.reply;
    asked.clear();
    const bool written = on_generate(ui, fake_request);
    EXPECT_EQ(asked, c.asks ? std::vector<Text>{c.box} : std::vector<Text>{});
    EXPECT_EQ(ui.box, c.box_after);
    EXPECT_EQ(ui.writes, written ? 1 : 0) << "a failure never writes the box";
    EXPECT_EQ(written, c.shown.empty());
    EXPECT_EQ(ui.shown, c.shown);
  }
}

TEST(OnCopyAndUsage, ShowTheirMessages) {
  // 本软件仅限用于学习目的，不得将本软件用于商业或者非法用途，否则后果用户自负与作者无关！！Q群：839204716
  const Text notice =
      "\xB1\xBE\xC8\xED\xBC\xFE\xBD\xF6\xCF\xDE\xD3\xC3\xD3\xDA\xD1\xA7\xCF\xB0"
      "\xC4\xBF\xB5\xC4\xA3\xAC\xB2\xBB\xB5\xC3\xBD\xAB\xB1\xBE\xC8\xED\xBC\xFE"
      "\xD3\xC3\xD3\xDA\xC9\xCC\xD2\xB5\xBB\xF2\xD5\xDF\xB7\xC7\xB7\xA8\xD3\xC3"
      "\xCD\xBE\xA3\xAC\xB7\xF1\xD4\xF2\xBA\xF3\xB9\xFB\xD3\xC3\xBB\xA7\xD7\xD4"
      "\xB8\xBA\xD3\xEB\xD7\xF7\xD5\xDF\xCE\xDE\xB9\xD8\xA3\xA1\xA3\xA1Q\xC8\xBA"
      "\xA3\xBA" "839204716";
  const Text usage_title = "\xCA\xB9\xD3\xC3\xCB\xB5\xC3\xF7";  // 使用说明
  const Text copied = "\xB8\xB4\xD6\xC6\xB3\xC9\xB9\xA6";      // 复制成功
  // 复制失败：无法打开剪贴板或无法存入文本。
  const Text copy_failed =
      "\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC\xA3\xBA\xCE\xDE\xB7\xA8\xB4\xF2\xBF\xAA"
      "\xBC\xF4\xCC\xF9\xB0\xE5\xBB\xF2\xCE\xDE\xB7\xA8\xB4\xE6\xC8\xEB\xCE\xC4"
      "\xB1\xBE\xA1\xA3";
  const Text link = "http://t.cn/\xD6\xD0";  // http://t.cn/中
  struct Case {
    const char* name;
    void (*handler)(Ui&);
    Text box;
    bool clipboard_works;
    Text clipboard_after;
    Shown shown;
  } cases[] = {
      {"usage", on_show_usage, link, true, "untouched", {notice, usage_title}},
      {"copy", on_copy, link, true, link, {copied, kTipTitle}},
      {"copy of an empty box", on_copy, "", true, "", {copied, kTipTitle}},
      {"copy refused", on_copy, link, false, "untouched",
       {copy_failed, kTipTitle}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    ui.box = c.box;
    ui.clipboard_works = c.clipboard_works;
    c.handler(ui);
    EXPECT_EQ(ui.clipboard, c.clipboard_after);
    EXPECT_EQ(ui.shown, std::vector<Shown>{c.shown});
    EXPECT_EQ(ui.box, c.box);
    EXPECT_EQ(ui.writes, 0);
  }
}

}  // namespace
}  // namespace quoril

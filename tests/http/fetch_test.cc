// http_fetch and http_fetch_text against the loopback test server. The same
// file runs over libcurl on Linux and over WinINet under Wine.
#include "http/fetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "encoding/codepage.h"
#include "http/transport.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

using test::Act;
using test::Reply;
using test::Request;
using test::TestServer;

constexpr char kAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qelt; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
const Text kNoResponse(5000, ' ');

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string string_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The header lines a request carried apart from Host and Content-Length,
// whose place the transports choose, in order.
std::vector<std::string> lines_but_host_and_length(const Request& r) {
  std::vector<std::string> lines;
  for (const std::string& line : r.header_lines)
    if (line.rfind("Host:", 0) != 0 && line.rfind("Content-Length:", 0) != 0)
      lines.push_back(line);
  return lines;
}

// The default lines that http_fetch adds for `address`, as sent.
std::vector<std::string> default_lines(const std::string& address) {
  return {"User-Agent: " + std::string(kAgent), "Referer: " + address, "Accept: */*",
          "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"};
}

int count_named(const Request& r, const std::string& name) {
  return static_cast<int>(std::count_if(r.header_lines.begin(), r.header_lines.end(),
                                        [&](const std::string& l) {
                                          return l.rfind(name + ":", 0) == 0;
                                        }));
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    set_transport_timeouts({5000, 5000});
  }
  void TearDown() override { set_transport_timeouts({}); }

  std::string host_line() const {
    return "Host: " + server_.address() + ":" + std::to_string(server_.port());
  }

  TestServer server_;
};

TEST_F(FetchTest, ShortLinkStyleRequestSendsExactlyTheDefaults) {
  const std::string path = "/share/share.php?url=%68%74&title=ZOVEK&pic=";
  // "中文" in UTF-8 comes back as GBK D6 D0 CE C4.
  server_.set(path, Reply::ok("x \xE4\xB8\xAD\xE6\x96\x87 y"));
  const std::string address = server_.url(path);

  EXPECT_EQ(http_fetch_text(address), "x \xD6\xD0\xCE\xC4 y" /* x 中文 y */);

  std::vector<Request> got = server_.requests();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].request_line, "GET " + path + " HTTP/1.1");
  std::vector<std::string> expected = {host_line()};
  for (const std::string& line : default_lines(address)) expected.push_back(line);
  EXPECT_EQ(got[0].header_lines, expected);
  EXPECT_EQ(got[0].body, "");
}

TEST_F(FetchTest, OutputsReachTheCaller) {
  Reply reply = Reply::ok("body", {"Set-Cookie: b=3; path=/", "X-Extra: 1"});
  server_.set("/p", reply);
  const std::string address = server_.url("/p");
  Text cookies = "a=1; b=2";
  Text new_cookies = "stale";
  Text headers = "X-One: 1";
  Text redirect_to, raw;

  Bytes body = http_fetch(address, 0, {}, &cookies, &new_cookies, &headers, &redirect_to,
                          false, nullptr, std::nullopt, &raw);

  EXPECT_EQ(string_of(body), "body");
  const Text sent = "X-One: 1\r\nReferer: " + address +
                    "\r\nAccept: */*\r\nAccept-Language: zh-cn"
                    "\r\nContent-Type: application/x-www-form-urlencoded"
                    "\r\nCookie: a=1; b=2";
  EXPECT_EQ(headers, sent);
  EXPECT_EQ(raw, reply.head());
  EXPECT_EQ(redirect_to, raw);
  EXPECT_EQ(new_cookies, "b=3");
  EXPECT_EQ(cookies, "b=3; a=1");

  std::vector<Request> got = server_.requests();
  ASSERT_EQ(got.size(), 1u);
  std::vector<std::string> expected = {"User-Agent: " + std::string(kAgent), "X-One: 1",
                                       "Referer: " + address, "Accept: */*",
                                       "Accept-Language: zh-cn",
                                       "Content-Type: application/x-www-form-urlencoded",
                                       "Cookie: a=1; b=2"};
  EXPECT_EQ(lines_but_host_and_length(got[0]), expected);
}

// The header text after the call and the agent the server saw.
TEST_F(FetchTest, DefaultHeadersAndUserAgent) {
  struct Case {
    const char* name;
    std::string headers;
    std::string sent;   // "@" stands for the address
    std::string agent;  // the User-Agent value received
  };
  const Case cases[] = {
      {"agent line alone", "User-Agent: Agent/1",
       "User-Agent: Agent/1\r\nReferer: @\r\nAccept: */*\r\nAccept-Language: zh-cn"
       "\r\nContent-Type: application/x-www-form-urlencoded",
       "Agent/1"},
      // The agent of a last line is that line's value, never the text around it.
      {"agent named last", "X-A: 1\r\nX-Note: user-agent: Agent/3",
       "X-A: 1\r\nX-Note: user-agent: Agent/3\r\nReferer: @\r\nAccept: */*"
       "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded",
       "Agent/3"},
      {"agent named first", "X-Note: User-Agent: Agent/4 \r\nX-A: 1",
       "X-Note: User-Agent: Agent/4 \r\nX-A: 1\r\nReferer: @\r\nAccept: */*"
       "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded",
       "Agent/4"},
      // Names are found anywhere, in their own letter case.
      {"own lines kept", "Referer: r\r\nAccept: text/html\r\nContent-Type: text/plain",
       "Referer: r\r\nAccept: text/html\r\nContent-Type: text/plain"
       "\r\nAccept-Language: zh-cn",
       kAgent},
      {"name inside a value", "X-B: Accept: no",
       "X-B: Accept: no\r\nReferer: @\r\nAccept-Language: zh-cn"
       "\r\nContent-Type: application/x-www-form-urlencoded",
       kAgent},
      {"referer in lower case", "referer: r",
       "referer: r\r\nReferer: @\r\nAccept: */*\r\nAccept-Language: zh-cn"
       "\r\nContent-Type: application/x-www-form-urlencoded",
       kAgent},
  };
  server_.set("/h", Reply::ok("ok"));
  const std::string address = server_.url("/h");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t before = server_.requests().size();
    Text headers = c.headers;
    EXPECT_EQ(string_of(http_fetch(address, 0, {}, nullptr, nullptr, &headers)), "ok");
    std::string sent = c.sent;
    if (std::size_t at = sent.find('@'); at != std::string::npos) sent.replace(at, 1, address);
    EXPECT_EQ(headers, sent);
    std::vector<Request> got = server_.requests();
    ASSERT_EQ(got.size(), before + 1);
    EXPECT_EQ(got.back().header("User-Agent"), c.agent);
    EXPECT_EQ(count_named(got.back(), "User-Agent"), 1);
  }
}

TEST_F(FetchTest, RequestBodies) {
  struct Case {
    int method;
    std::string body_text;
    std::string body_bytes;        // before the call
    std::string verb;
    std::string received;          // the body the server read
    const char* length;            // its Content-Length line, "" for none
    std::string body_bytes_after;
  };
  const std::string binary("\x00\xFF\x01\r\n", 5);
  const Case cases[] = {
      {1, "a=1&b=%E4", "", "POST", "a=1&b=%E4", "Content-Length: 9", "a=1&b=%E4"},
      {1, "ignored", binary, "POST", binary, "Content-Length: 5", binary},
      {1, "", "", "POST", "", "Content-Length: 0", ""},
      {2, "q=1", "", "GET", "q=1", "Content-Length: 3", "q=1"},
      {0, "unsent", "", "GET", "", "", ""},
  };
  server_.set("/form", Reply::ok("done"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    SCOPED_TRACE(c.body_text);
    std::size_t before = server_.requests().size();
    Bytes body_bytes = bytes_of(c.body_bytes);
    Bytes result = http_fetch(server_.url("/form"), c.method, c.body_text, nullptr, nullptr,
                              nullptr, nullptr, false, &body_bytes);
    EXPECT_EQ(string_of(result), "done");
    EXPECT_EQ(string_of(body_bytes), c.body_bytes_after);
    std::vector<Request> got = server_.requests();
    ASSERT_EQ(got.size(), before + 1);
    const Request& r = got.back();
    EXPECT_EQ(r.request_line, c.verb + " /form HTTP/1.1");
    EXPECT_EQ(r.body, c.received);
    std::string length = r.header("Content-Length");
    EXPECT_EQ(length.empty() ? "" : "Content-Length: " + length, c.length);
    EXPECT_EQ(count_named(r, "Host"), 1);
    EXPECT_EQ(lines_but_host_and_length(r), default_lines(server_.url("/form")));
  }
}

TEST_F(FetchTest, FollowsRedirectChains) {
  Reply first = Reply::redirect("301 Moved Permanently", "/r2");
  first.headers.push_back("Set-Cookie: engine=1");  // no cookie engine may send it on
  server_.set("/r1", first);
  server_.set("/r2", Reply::redirect("302 Found", server_.url("/r3")));
  server_.set("/r3", Reply::redirect("303 See Other", "/end?x=1"));
  Reply end = Reply::ok("the end", {"Set-Cookie: s=1"});
  server_.set("/end", end);
  Text redirect_to, raw, cookies;

  Bytes body = http_fetch(server_.url("/r1"), 1, "p=1", &cookies, nullptr, nullptr,
                          &redirect_to, false, nullptr, std::nullopt, &raw);

  EXPECT_EQ(string_of(body), "the end");
  EXPECT_EQ(raw, end.head());  // the final response's head only
  EXPECT_EQ(redirect_to, raw);
  EXPECT_EQ(cookies, "s=1");
  std::vector<Request> got = server_.requests();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].request_line, "POST /r1 HTTP/1.1");
  EXPECT_EQ(got[0].body, "p=1");
  // A POST turns into a GET without its body at the first hop.
  EXPECT_EQ(got[1].request_line, "GET /r2 HTTP/1.1");
  EXPECT_EQ(got[2].request_line, "GET /r3 HTTP/1.1");
  EXPECT_EQ(got[3].request_line, "GET /end?x=1 HTTP/1.1");
  for (const Request& r : got) EXPECT_EQ(count_named(r, "Cookie"), 0);
  for (std::size_t i = 1; i < got.size(); ++i) EXPECT_EQ(got[i].body, "");
}

TEST_F(FetchTest, NoRedirectDeliversTheRedirect) {
  Reply moved = Reply::redirect("302 Found", "/elsewhere");
  moved.body = "moved";
  server_.set("/r", moved);
  Text redirect_to = "old", raw;

  Bytes body = http_fetch(server_.url("/r"), 0, {}, nullptr, nullptr, nullptr, &redirect_to,
                          true, nullptr, std::nullopt, &raw);

  EXPECT_EQ(string_of(body), "moved");
  EXPECT_EQ(redirect_to, "/elsewhere");
  EXPECT_EQ(raw, moved.head());
  EXPECT_EQ(server_.requests().size(), 1u);
}

// Location and Set-Cookie lines count by their name at the line start, in
// any letter case.
TEST_F(FetchTest, ScansResponseHeaders) {
  struct Case {
    std::vector<std::string> headers;
    std::string new_cookies;
    std::string cookies;      // after the call; "z=9" before it
    std::string redirect_to;  // "" stands for the raw header text
  };
  const Case cases[] = {
      {{"Set-Cookie: b=2", "Set-Cookie: a=1; path=/"}, "b=2;a=1", "b=2; a=1; z=9", ""},
      {{"Set-Cookie: a=1; path=/", "Set-Cookie: z=deleted; path=/"}, "a=1;z=deleted", "a=1",
       ""},
      {{"set-cookie: c=3", "SET-COOKIE: d = 4 ; Max-Age=9"}, "c=3;d=4", "c=3; d=4; z=9", ""},
      {{"Set-Cookie2: e=5; Version=1", "X-Note: Set-Cookie: f=6; x"}, "", "z=9", ""},
      {{"Content-Location: /elsewhere"}, "", "z=9", ""},
      {{"location: /lower"}, "", "z=9", "/lower"},
      {{"Location: /one", "X-Location: /no", "Location: /two"}, "", "z=9", "/two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers[0]);
    server_.set("/scan", Reply::ok("", c.headers));
    Text cookies = "z=9", new_cookies, redirect_to, raw;
    http_fetch(server_.url("/scan"), 0, {}, &cookies, &new_cookies, nullptr, &redirect_to,
               true, nullptr, std::nullopt, &raw);
    EXPECT_EQ(raw, Reply::ok("", c.headers).head());
    EXPECT_EQ(new_cookies, c.new_cookies);
    EXPECT_EQ(cookies, c.cookies);
    EXPECT_EQ(redirect_to, c.redirect_to.empty() ? raw : c.redirect_to);
  }
}

TEST_F(FetchTest, HeadersLongerThan5000BytesStayWhole) {
  Reply reply = Reply::ok("body");
  for (int i = 0; i < 150; ++i)
    reply.headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(60, 'f'));
  reply.headers.push_back("Set-Cookie: late=1; path=/");
  reply.headers.push_back("Location: /late");
  server_.set("/long", reply);
  ASSERT_GT(reply.head().size(), 10000u);
  Text raw, redirect_to, new_cookies;

  Bytes body = http_fetch(server_.url("/long"), 0, {}, nullptr, &new_cookies, nullptr,
                          &redirect_to, false, nullptr, std::nullopt, &raw);

  EXPECT_EQ(string_of(body), "body");
  EXPECT_EQ(raw, reply.head());
  EXPECT_EQ(new_cookies, "late=1");
  EXPECT_EQ(redirect_to, "/late");
}

TEST_F(FetchTest, BodiesArriveWhole) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1023},
                           std::size_t{1024}, std::size_t{1025}, std::size_t{5} << 20}) {
    SCOPED_TRACE(size);
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 % 251);
    server_.set("/size", Reply::ok(content));
    EXPECT_TRUE(string_of(http_fetch(server_.url("/size"))) == content);
  }
}

TEST_F(FetchTest, BodyPastTheLimitGivesNothing) {
  server_.set("/big", Reply::ok(std::string(3000, 'b'), {"Set-Cookie: k=1"}));
  for (std::int64_t limit : {std::int64_t{3000}, std::int64_t{2999}, std::int64_t{0}}) {
    SCOPED_TRACE(limit);
    Text cookies, raw;
    Bytes body = http_fetch(server_.url("/big"), 0, {}, &cookies, nullptr, nullptr, nullptr,
                            false, nullptr, std::nullopt, &raw, limit);
    EXPECT_EQ(body.size(), limit == 3000 ? 3000u : 0u);
    EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);  // the other steps still ran
    EXPECT_EQ(cookies, "k=1");
  }
  server_.set("/text", Reply::ok("\xE4\xB8\xAD" /* 中 */));
  EXPECT_EQ(http_fetch_text(server_.url("/text"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                            false, nullptr, std::nullopt, nullptr, 2),
            "");
}

TEST_F(FetchTest, InvalidUtf8IsDecodedAroundTheBadBytes) {
  const std::string page = "a\xFF\xC0\xAF b\xE4\xB8 \xE4\xB8\xAD";  // ... 中 last
  server_.set("/bad", Reply::ok(page));
  Text text = http_fetch_text(server_.url("/bad"));
  EXPECT_EQ(text, utf8_to_ansi(bytes_of(page)));
  EXPECT_EQ(text.rfind("a", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 3), " \xD6\xD0" /* 中 */);
  EXPECT_EQ(text.find('\0'), std::string::npos);
}

// Peers that fail part-way, or never answer, give no body; the other outputs
// are as after a request that found no response.
TEST_F(FetchTest, FailingPeers) {
  struct Case {
    const char* name;
    Act act;
    bool response;  // a head arrived
  };
  const Case cases[] = {
      {"silent", Act::kSilent, false},
      {"close at once", Act::kCloseAtOnce, false},
      {"reset mid-body", Act::kResetMidBody, true},
  };
  set_transport_timeouts({5000, 1000});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reply reply = Reply::ok(std::string(256 * 1024, 'r'));
    reply.act = c.act;
    server_.set("/fail", reply);
    Text headers = "X: 1", redirect_to, raw, cookies = "a = 1";
    auto start = std::chrono::steady_clock::now();
    Bytes body = http_fetch(server_.url("/fail"), 0, {}, &cookies, nullptr, &headers,
                            &redirect_to, false, nullptr, std::nullopt, &raw);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(body.empty());
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_EQ(raw, c.response ? reply.head() : kNoResponse);
    EXPECT_EQ(redirect_to, raw);
    EXPECT_EQ(headers.rfind("X: 1\r\nReferer: ", 0), 0u);
    EXPECT_EQ(cookies, "a=1");
  }
}

TEST_F(FetchTest, SlowButSteadyBodyIsWaitedFor) {
  set_transport_timeouts({5000, 1000});
  Reply drip = Reply::ok("drip-drip");
  drip.act = Act::kDrip;
  drip.drip_ms = 200;
  server_.set("/drip", drip);
  EXPECT_EQ(string_of(http_fetch(server_.url("/drip"))), "drip-drip");
}

TEST_F(FetchTest, NobodyListening) {
  TestServer gone;
  std::string address = gone.url("/x");
  gone.stop();
  Text raw, redirect_to = "kept";
  EXPECT_TRUE(http_fetch(address, 0, {}, nullptr, nullptr, nullptr, &redirect_to, false,
                         nullptr, std::nullopt, &raw)
                  .empty());
  EXPECT_EQ(raw, kNoResponse);
  EXPECT_EQ(redirect_to, "kept");
}

TEST_F(FetchTest, UnusablePortTouchesNothing) {
  Text headers = "X: 1", raw = "r", cookies = "a = 1";
  EXPECT_TRUE(http_fetch("http://127.0.0.1:70000/", 0, {}, &cookies, nullptr, &headers,
                         nullptr, false, nullptr, std::nullopt, &raw)
                  .empty());
  EXPECT_EQ(headers, "X: 1");
  EXPECT_EQ(raw, "r");
  EXPECT_EQ(cookies, "a = 1");
}

// Without a proxy, and with the list "http=" alone, requests go direct, also
// to a loopback address other than 127.0.0.1 and whatever proxy the
// environment names (the test runs with http_proxy set to a dead port).
TEST(FetchDirectTest, NoProxyAndEmptyProxyGoDirect) {
  TestServer server("127.0.0.2");
  ASSERT_TRUE(server.ok());
  server.set("/d", Reply::ok("direct"));
  EXPECT_EQ(string_of(http_fetch(server.url("/d"))), "direct");
  EXPECT_EQ(http_fetch_text(server.url("/d")), "direct");
  EXPECT_EQ(string_of(http_fetch(server.url("/d"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                 false, nullptr, Text(""))),
            "direct");
  std::vector<Request> got = server.requests();
  ASSERT_EQ(got.size(), 3u);
  for (const Request& r : got) EXPECT_EQ(r.header("Via"), "");
}

}  // namespace
}  // namespace quoril

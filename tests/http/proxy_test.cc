// http_fetch through a real proxy (tinyproxy, started by the "proxy" CTest
// fixture on 127.0.0.1; its port is in the file QUORIL_PROXY_PORT_FILE
// names). The target listens on 127.0.0.2, since WinINet never sends
// 127.0.0.1 through a proxy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "http/fetch.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

std::string proxy_address() {
  const char* file = std::getenv("QUORIL_PROXY_PORT_FILE");
  if (!file) return {};
  int port = 0;
  std::ifstream in(file);
  in >> port;
  return port > 0 ? "127.0.0.1:" + std::to_string(port) : std::string();
}

TEST(ProxyTest, PlainRequestsGoThroughTheNamedProxy) {
  if (!std::getenv("QUORIL_PROXY_PORT_FILE"))
    GTEST_SKIP() << "run through ctest, which starts the proxy";
  const std::string proxy = proxy_address();
  ASSERT_FALSE(proxy.empty()) << "the proxy fixture wrote no port";
  test::TestServer server("127.0.0.2");
  ASSERT_TRUE(server.ok());
  server.set("/p", test::Reply::ok("\xE4\xB8\xAD" /* 中 */, {"Set-Cookie: via=proxy"}));

  Text cookies, raw;
  Bytes body = http_fetch(server.url("/p"), 1, "k=v", &cookies, nullptr, nullptr, nullptr,
                          false, nullptr, proxy, &raw);
  EXPECT_EQ(std::string(body.begin(), body.end()), "\xE4\xB8\xAD");
  EXPECT_EQ(cookies, "via=proxy");
  EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(http_fetch_text(server.url("/p"), 0, {}, nullptr, nullptr, nullptr, nullptr, false,
                            nullptr, proxy),
            "\xD6\xD0" /* 中 */);

  std::vector<test::Request> got = server.requests();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].request_line, "POST /p HTTP/1.1");
  EXPECT_EQ(got[0].body, "k=v");
  EXPECT_EQ(got[1].request_line, "GET /p HTTP/1.1");
  for (const test::Request& r : got) {
    EXPECT_EQ(r.header("Referer"), server.url("/p"));
    // tinyproxy names itself in a Via line of every request it forwards.
    EXPECT_NE(r.header("Via").find("quoril-test-proxy"), std::string::npos) << r.header("Via");
  }
}

}  // namespace
}  // namespace quoril

#include "http/url.h"

#include <gtest/gtest.h>

namespace quoril {
namespace {

struct UrlCase {
  const char* address;
  const char* host;
  const char* host_with_port;
  const char* host_without_subdomains;
  int port;
  const char* path;
};

TEST(UrlTest, SplitsAddresses) {
  const UrlCase cases[] = {
      {"HTTPS://Mail.Example.COM:8443/Inbox?id=7", "mail.example.com",
       "mail.example.com:8443", "example.com", 8443, "/Inbox?id=7"},
      {"http://a.b.example.com/x/y", "a.b.example.com", "a.b.example.com",
       "example.com", 80, "/x/y"},
      {"example.com", "example.com", "example.com", "example.com", 80, "/"},
      {"example.com:8080/p", "example.com", "example.com:8080", "example.com",
       8080, "/p"},
      {"https://example.com", "example.com", "example.com", "example.com", 443, "/"},
      {"shop.example.org/?u=http://other.example.net/z", "other.example.net",
       "other.example.net", "example.net", 80, "/z"},
      {"ftp://files.example.com/pub", "ftp", "ftp:", "ftp", 0,
       "//files.example.com/pub"},
      {"http://example.com:/", "example.com", "example.com:", "example.com", 0, "/"},
      {"192.168.1.20:8080/admin", "192.168.1.20", "192.168.1.20:8080", "1.20",
       8080, "/admin"},
      {"", "", "", "", 80, "/"},
      {"HTTP://Example.COM/A", "example.com", "example.com", "example.com", 80, "/A"},
      {"a.example.co.uk", "a.example.co.uk", "a.example.co.uk", "co.uk", 80, "/"},
      {"httpsfoo.com/x", "httpsfoo.com", "httpsfoo.com", "httpsfoo.com", 443, "/x"},
      // The host ends at "?" and "#"; a query right after it keeps its "/".
      {"http://example.com?q=1", "example.com", "example.com", "example.com", 80,
       "/?q=1"},
      {"example.com:8080?q=/x", "example.com", "example.com:8080", "example.com",
       8080, "/?q=/x"},
      {"http://example.com#top/x", "example.com", "example.com", "example.com", 80,
       "/"},
      // The path starts after the host, not at a copy of its name in the scheme.
      {"http://t/page", "t", "t", "t", 80, "/page"},
      {"http://h/http", "h", "h", "h", 80, "/http"},
      // User information is not the host.
      {"http://u:p@example.com/x", "example.com", "example.com", "example.com", 80,
       "/x"},
      {"http://u:p@a.example.com:8080/x", "a.example.com", "a.example.com:8080",
       "example.com", 8080, "/x"},
      {"https://u@Example.com", "example.com", "example.com", "example.com", 443, "/"},
      {"http://u@example.com/a@b", "example.com", "example.com", "example.com", 80,
       "/a@b"},
      // "@" as the second byte of a GBK character is no separator: \xB0\x40 (癅).
      {"http://\xB0\x40x.com/p", "\xB0\x40x.com", "\xB0\x40x.com", "\xB0\x40x.com",
       80, "/p"},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(url_host(c.address), c.host);
    EXPECT_EQ(url_host(c.address, false, true), c.host_with_port);
    EXPECT_EQ(url_host(c.address, true), c.host_without_subdomains);
    EXPECT_EQ(url_port(c.address), c.port);
    EXPECT_EQ(url_path(c.address), c.path);
  }
}

}  // namespace
}  // namespace quoril

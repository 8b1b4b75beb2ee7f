#include "app/short_link.h"

#include <cstdint>
#include <cstdlib>

#include "encoding/percent.h"
#include "http/fetch.h"
#include "text/extract.h"
#include "text/text_ops.h"

namespace quoril {
namespace {

constexpr char kBuiltInHost[] = "service.weibo.com";
// A share page is a few hundred kilobytes; a body past this is no share page.
constexpr std::int64_t kMaxPage = std::int64_t{16} << 20;

bool begins_with_scheme(const Text& address) {
  const Text head = lower_ascii(take_left(address, 8));
  return head.starts_with("http://") || head.starts_with("https://");
}

}  // namespace

Text share_host() {
  const char* configured = std::getenv("QUORIL_SHARE_HOST");
  Text host = configured ? trim_spaces(configured) : Text();
  return host.empty() ? Text(kBuiltInHost) : host;
}

Text share_request_address(const Text& long_address) {
  Text address = trim_spaces(long_address);
  if (!begins_with_scheme(address)) address = join_texts("http://", address);
  return join_texts("http://", share_host(), "/share/share.php?url=",
                    url_encode(address), "&title=ZOVEK&pic=");
}

ShortLinkReply request_short_link(const Text& long_address) {
  Text raw_headers;
  const Text page = http_fetch_text(
      share_request_address(long_address), 0, {}, nullptr, nullptr, nullptr,
      nullptr, false, nullptr, std::nullopt, &raw_headers, kMaxPage);
  ShortLinkReply reply;
  reply.link = extract_between(page, "scope.short_url = \"", "\";", 1, false);
  // With no response the header text is blank, never a status line.
  if (raw_headers.starts_with("HTTP/")) {
    reply.answered = true;
    const int end = find_first(raw_headers, "\r\n");
    reply.status_line = end < 0 ? raw_headers : take_left(raw_headers, end - 1);
  }
  return reply;
}

Text make_short_link(const Text& long_address) {
  return request_short_link(long_address).link;
}

}  // namespace quoril

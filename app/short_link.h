// The short-link request: asks the share page for a short link of a long
// address and cuts the link out of the page that comes back.
#pragma once

#include "text/text.h"

namespace quoril {

// The share page's host, "host" or "host:port": the environment variable
// QUORIL_SHARE_HOST when it holds more than spaces, else "service.weibo.com".
// Read afresh on every call.
Text share_host();

// The full share-page address asked for `long_address`: the address without
// half- and full-width spaces at its ends, "http://" in front unless it begins
// with "http://" or "https://" in any letter case, every byte percent-encoded.
Text share_request_address(const Text& long_address);

// What one share-page request came to.
struct ShortLinkReply {
  Text link;              // the short link as the page gives it, untrimmed
  bool answered = false;  // a response with an HTTP status line arrived
  Text status_line;       // that status line without CR LF; empty if none
};

// One GET of the share page for `long_address`. `link` is empty when the
// service was not reached, when its page holds no `scope.short_url = "...";`
// (markers matched in any letter case) and when the page passes 16 MiB.
ShortLinkReply request_short_link(const Text& long_address);

// request_short_link's link alone; empty whatever the reason.
Text make_short_link(const Text& long_address);

}  // namespace quoril

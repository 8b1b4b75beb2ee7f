// Splitting a web address into host, port and object path: plain text
// cutting, not a parser of the address grammar. "https://" counts only at the
// very start, "http://" anywhere; an address without either is read as if
// "http://" stood before it.
#pragma once

#include "text/text.h"

namespace quoril {

// The host, lower-cased: after the scheme, up to the first "/", "?" or "#",
// without any user information ("user:pw@"). With `drop_subdomains`, only
// the last two dot-separated pieces; with `keep_port`, the ":port" stays.
Text url_host(const Text& address, bool drop_subdomains = false,
              bool keep_port = false);

// The number after the host's last colon (0 when it is no number), else 443
// for an address beginning with "https" in any case, else 80.
int url_port(const Text& address);

// From the first "/" after the host to the end, query included; "/" when none.
// A query straight after the host ("a.com?q=1") gets a "/" in front of it.
Text url_path(const Text& address);

}  // namespace quoril

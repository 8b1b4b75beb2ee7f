#include "http/url.h"

#include <string_view>

#include "text/text_ops.h"

namespace quoril {
namespace {

// Where the authority (user information, host and port) lies in `s`, a
// lower-cased address, as 0-based [begin, end): after "https://" at the very
// start, else after the first "http://" anywhere, else from the start; up to
// the first "/", "?" or "#" after that, or the end. None of those three
// bytes can be the second byte of a GBK character, so a byte search is safe.
struct Span {
  std::size_t begin, end;
};
Span authority(const Text& s) {
  std::size_t begin = 0;
  if (take_left(s, 8) == "https://") {
    begin = 8;
  } else if (int p = find_first(s, "http://"); p != -1) {
    begin = static_cast<std::size_t>(p - 1) + 7;
  }
  std::size_t end = s.find_first_of("/?#", begin);
  return {begin, end == Text::npos ? s.size() : end};
}

}  // namespace

Text url_host(const Text& address, bool drop_subdomains, bool keep_port) {
  Text s = lower_ascii(address);
  Span a = authority(s);
  Text host = s.substr(a.begin, a.end - a.begin);
  // "user:pw@host": the host follows the last "@" ("@" may be a GBK trail
  // byte, so the search steps by units).
  if (int at = find_last(host, "@"); at != -1) host = take_right(host, text_len(host) - at);
  if (drop_subdomains) {
    TextArray pieces = split_by(host, ".");
    int n = item_count(pieces);
    if (n > 1) host = join_texts(item_at(pieces, n - 1), ".", item_at(pieces, n));
  }
  if (keep_port) return host;
  int colon = find_first(host, ":");
  return colon == -1 ? host : take_left(host, colon - 1);
}

int url_port(const Text& address) {
  Text h = url_host(address, false, true);
  if (int p = find_last(h, ":"); p != -1) return parse_int(take_right(h, text_len(h) - p));
  return lower_ascii(take_left(address, 5)) == "https" ? 443 : 80;
}

Text url_path(const Text& address) {
  Span a = authority(lower_ascii(address));
  if (a.end == address.size() || address[a.end] == '#') return "/";
  if (address[a.end] == '?') return "/" + address.substr(a.end);  // query straight after the host
  return address.substr(a.end);
}

}  // namespace quoril

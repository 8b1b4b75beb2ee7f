#include "http/fetch.h"

#include <algorithm>

#include "encoding/codepage.h"
#include "http/cookies.h"
#include "http/transport.h"
#include "http/url.h"
#include "text/extract.h"
#include "text/text_ops.h"

namespace quoril {
namespace {

constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qelt; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
constexpr int kChunk = 1024;
constexpr int kRawHeaderBuffer = 5000;

// Whether `line` starts with `name` (which ends in ":"), A-Z folded.
bool line_named(const Text& line, const Text& name) {
  return lower_ascii(take_left(line, text_len(name))) == lower_ascii(name);
}

// The value of the first User-Agent line, trimmed, up to the end of that
// line; the default agent when there is no such line.
Text user_agent(const Text& headers) {
  static const Text kName = "User-Agent:";
  int p = find_first(headers, kName, 1, true);
  if (p == -1) return kDefaultAgent;
  int start = p + text_len(kName);
  int end = find_first(headers, "\r\n", start);
  if (end == -1) end = text_len(headers) + 1;
  return trim_spaces(take_middle(headers, start, end - start));
}

// The value of a Content-Length line, up to 256 MiB (a hint, which a lying
// server must not turn into a huge reservation); 0 when there is none.
std::int64_t content_length(const Text& head) {
  for (const Text& line : split_by(head, "\r\n")) {
    if (!line_named(line, "Content-Length:")) continue;
    std::int64_t n = 0;
    for (char c : trim_spaces(take_middle(line, 16, text_len(line)))) {
      if (c < '0' || c > '9') break;
      n = std::min<std::int64_t>(n * 10 + (c - '0'), std::int64_t{256} << 20);
    }
    return n;
  }
  return 0;
}

}  // namespace

Bytes http_fetch(const Text& address, int method, const Text& body_text, Text* cookies,
                 Text* new_cookies, Text* extra_headers, Text* redirect_to, bool no_redirect,
                 Bytes* body_bytes, const std::optional<Text>& proxy, Text* raw_headers,
                 std::int64_t max_body) {
  // Left-out in-out and out parameters are scratch variables.
  Text cookies_scratch, new_cookies_scratch, headers_scratch, redirect_scratch, raw_scratch;
  Bytes body_scratch;
  Text& cookie_text = cookies ? *cookies : cookies_scratch;
  Text& received = new_cookies ? *new_cookies : new_cookies_scratch;
  Text& headers = extra_headers ? *extra_headers : headers_scratch;
  Text& redirect = redirect_to ? *redirect_to : redirect_scratch;
  Bytes& send_body = body_bytes ? *body_bytes : body_scratch;
  Text& raw = raw_headers ? *raw_headers : raw_scratch;

  const Text verb = method == 1 ? "POST" : "GET";
  std::optional<Text> proxy_list;
  if (proxy) proxy_list = join_texts("http=", *proxy);

  SessionHandle session = transport_open(user_agent(headers), proxy_list);
  if (!session) return {};
  ConnectionHandle connection =
      transport_connect(*session, url_host(address), url_port(address));
  if (!connection) return {};
  std::uint32_t flags = kFlagReload | kFlagNeedFile | kFlagNoCookies;
  if (no_redirect) flags |= kFlagNoAutoRedirect;
  flags |= lower_ascii(take_left(address, 5)) == "https" ? kFlagSecure
                                                         : kFlagIgnoreRedirectToHttps;
  RequestHandle request = transport_open_request(*connection, verb, url_path(address), flags);
  if (!request) return {};

  // Default header lines, each added unless its name occurs in the text.
  if (find_first(headers, "Referer:") == -1)
    headers += join_texts(headers.empty() ? "" : "\r\n", "Referer: ", address);
  if (find_first(headers, "Accept:") == -1) headers += "\r\nAccept: */*";
  if (find_first(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
  if (find_first(headers, "Content-Type:") == -1)
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookie_text.empty()) headers += join_texts("\r\nCookie: ", cookie_text);

  if (method == 0) {
    transport_send(*request, headers, {});
  } else {
    if (send_body.empty()) send_body = text_to_bytes(body_text);
    transport_send(*request, headers, send_body);
  }
  // A failed send shows as a failed first read.

  // The body, appended in place. A failed read (reset, time-out, a body cut
  // short), a body past `max_body` or one too big for memory gives no body at
  // all, never part of one. A Content-Length sizes it at once (a hint only,
  // so a refused one costs nothing).
  Bytes body;
  if (std::optional<Text> head = transport_raw_headers(*request)) {
    std::int64_t expected = content_length(*head);
    if (max_body >= 0) expected = std::min(expected, max_body);
    if (expected > 0) transport_make_room(body, static_cast<std::size_t>(expected));
  }
  for (;;) {
    if (!transport_make_room(body, kChunk)) {
      body.clear();
      break;
    }
    std::size_t size = body.size();
    body.resize(size + kChunk);
    int n = transport_read(*request, body.data() + size, kChunk);
    body.resize(size + static_cast<std::size_t>(std::max(n, 0)));
    if (n <= 0) {
      if (n < 0) body.clear();
      break;
    }
    if (max_body >= 0 && static_cast<std::int64_t>(body.size()) > max_body) {
      body.clear();
      break;
    }
  }

  raw = space_text(kRawHeaderBuffer);
  if (std::optional<Text> head = transport_raw_headers(*request)) raw = *head;
  request.reset();
  connection.reset();
  session.reset();

  // Location and Set-Cookie lines, by their names at the line start.
  received.clear();
  for (const Text& line : split_by(raw, "\r\n")) {
    if (line_named(line, "Location:")) redirect = text_after_colon(line);
    if (line_named(line, "Set-Cookie:")) {
      Text pair = take_middle(line, 12, text_len(line));
      int semicolon = find_first(pair, ";");
      if (semicolon != -1) pair = take_left(pair, semicolon - 1);
      pair = trim_spaces(pair);
      if (!pair.empty()) received += join_texts(received.empty() ? "" : "; ", pair);
    }
  }
  if (redirect.empty()) redirect = raw;
  merge_cookies(cookie_text, received);
  return body;
}

Text http_fetch_text(const Text& address, int method, const Text& body_text, Text* cookies,
                     Text* new_cookies, Text* extra_headers, Text* redirect_to,
                     bool no_redirect, Bytes* body_bytes, const std::optional<Text>& proxy,
                     Text* raw_headers, std::int64_t max_body) {
  Bytes body = http_fetch(address, method, body_text, cookies, new_cookies, extra_headers,
                          redirect_to, no_redirect, body_bytes, proxy.value_or(Text()),
                          raw_headers, max_body);
  return utf8_to_ansi(body);
}

}  // namespace quoril

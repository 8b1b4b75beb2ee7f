// The transport over WinINet (Windows). Callers never touch this file; they
// go through http/transport.h.
//
// Redirects are followed here rather than by WinINet: some WinINet versions
// chase a redirect loop without end, so every request is opened with
// INTERNET_FLAG_NO_AUTO_REDIRECT and a chain is followed for at most
// kMaxRedirects hops, as the libcurl back end does.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>

#include "http/transport.h"

namespace quoril {

static_assert(kFlagReload == INTERNET_FLAG_RELOAD);
static_assert(kFlagNeedFile == INTERNET_FLAG_NEED_FILE);
static_assert(kFlagNoCookies == INTERNET_FLAG_NO_COOKIES);
static_assert(kFlagNoAutoRedirect == INTERNET_FLAG_NO_AUTO_REDIRECT);
static_assert(kFlagSecure == INTERNET_FLAG_SECURE);
static_assert(kFlagIgnoreRedirectToHttps == INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);

namespace {

std::atomic<int> g_connect_ms{TransportTimeouts{}.connect_ms};
std::atomic<int> g_receive_ms{TransportTimeouts{}.receive_ms};
std::atomic<int> g_total_ms{TransportTimeouts{}.total_ms};

constexpr int kMaxRedirects = 10;

const char* or_null(const Text& t) { return t.empty() ? nullptr : t.c_str(); }

// The time-outs go on the session, whose connections and requests inherit
// them, and again on each request, where some WinINet versions look for them.
bool set_timeouts(HINTERNET h) {
  DWORD connect = static_cast<DWORD>(g_connect_ms.load());
  DWORD receive = static_cast<DWORD>(g_receive_ms.load());
  return InternetSetOptionA(h, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect) &&
         InternetSetOptionA(h, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive) &&
         InternetSetOptionA(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

}  // namespace

// Each owner holds one HINTERNET; the three kinds differ only in type.
struct TransportSession {
  HINTERNET h;
};
struct TransportConnection {
  HINTERNET h;
  HINTERNET session;
  Text host;
  int port;
};
struct TransportRequest {
  HINTERNET h;
  HINTERNET session;
  std::uint32_t flags;  // as the caller asked, kFlagSecure as the current address
  Text verb;
  Text url;             // what this request asks for, to resolve a Location
  ConnectionHandle hop; // the connection of a redirect target, once the chain moved
  bool lost = false;    // past kMaxRedirects or the total time-out: nothing to read
  ULONGLONG deadline = 0;  // GetTickCount64() when the total time-out ends; 0: none
};

// A failed close leaves nothing to do.
void TransportCloser::operator()(TransportSession* p) const noexcept {
  InternetCloseHandle(p->h);
  delete p;
}
void TransportCloser::operator()(TransportConnection* p) const noexcept {
  InternetCloseHandle(p->h);
  delete p;
}
void TransportCloser::operator()(TransportRequest* p) const noexcept {
  InternetCloseHandle(p->h);
  delete p;
}

void set_transport_timeouts(const TransportTimeouts& timeouts) {
  g_connect_ms = timeouts.connect_ms;
  g_receive_ms = timeouts.receive_ms;
  g_total_ms = timeouts.total_ms;
}

SessionHandle transport_open(const Text& agent, const std::optional<Text>& proxy_list) {
  HINTERNET h = proxy_list
                    ? InternetOpenA(or_null(agent), INTERNET_OPEN_TYPE_PROXY,
                                    proxy_list->c_str(), "", 0)
                    : InternetOpenA(or_null(agent), INTERNET_OPEN_TYPE_DIRECT, nullptr,
                                    nullptr, 0);
  if (!h) return nullptr;
  SessionHandle s(new TransportSession{h});
  if (!set_timeouts(h)) return nullptr;
  return s;
}

ConnectionHandle transport_connect(TransportSession& session, const Text& host, int port) {
  if (port < 0 || port > 65535) return nullptr;
  HINTERNET h = InternetConnectA(session.h, or_null(host), static_cast<INTERNET_PORT>(port),
                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!h) return nullptr;
  return ConnectionHandle(new TransportConnection{h, session.h, host, port});
}

namespace {

// A request handle for `path` on `connection`, redirects left to the caller.
HINTERNET open_request(HINTERNET connection, const Text& verb, const Text& path,
                       std::uint32_t flags) {
  HINTERNET h = HttpOpenRequestA(connection, verb.c_str(), or_null(path), "HTTP/1.1", nullptr,
                                 nullptr, flags | INTERNET_FLAG_NO_AUTO_REDIRECT, 0);
  if (h && !set_timeouts(h)) {
    InternetCloseHandle(h);
    return nullptr;
  }
  return h;
}

// One header of the response as text; empty when it is missing.
Text query_header(HINTERNET request, DWORD which) {
  Text value(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(value.size());
    if (HttpQueryInfoA(request, which, value.data(), &length, nullptr)) {
      value.resize(std::min<std::size_t>(length, value.size()));
      return value.substr(0, value.find('\0'));
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(static_cast<std::size_t>(length) + 1, '\0');
  }
  return {};
}

bool is_redirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Moves `request` to the address a redirect names: a new connection and a new
// request handle, POST turned into GET (without the body) by 301, 302 and
// 303. False, with `request` unchanged, when the target is not http or https,
// is http after https, or cannot be opened.
bool move_to(TransportRequest& request, DWORD status, const Text& location, bool& keep_body) {
  std::string target(INTERNET_MAX_URL_LENGTH, '\0');
  DWORD length = static_cast<DWORD>(target.size());
  if (!InternetCombineUrlA(request.url.c_str(), location.c_str(), target.data(), &length,
                           ICU_NO_ENCODE))
    return false;
  target.resize(length);
  std::string host(INTERNET_MAX_HOST_NAME_LENGTH + 1, '\0');
  std::string path(target.size() + 1, '\0'), extra(target.size() + 1, '\0');
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = static_cast<DWORD>(host.size());
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!InternetCrackUrlA(target.c_str(), static_cast<DWORD>(target.size()), 0, &parts))
    return false;
  // http may lead to https, never the other way round.
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!secure && (parts.nScheme != INTERNET_SCHEME_HTTP || (request.flags & kFlagSecure)))
    return false;
  const Text verb = status == 303 || ((status == 301 || status == 302) && request.verb == "POST")
                        ? Text("GET")
                        : request.verb;
  keep_body = status == 307 || status == 308;
  HINTERNET c = InternetConnectA(request.session, host.c_str(), parts.nPort, nullptr, nullptr,
                                 INTERNET_SERVICE_HTTP, 0, 0);
  if (!c) return false;
  ConnectionHandle connection(
      new TransportConnection{c, request.session, Text(host.c_str()), parts.nPort});
  const std::uint32_t flags = (request.flags & ~kFlagSecure) | (secure ? kFlagSecure : 0);
  HINTERNET h = open_request(c, verb, Text(path.c_str()) + extra.c_str(), flags);
  if (!h) return false;
  InternetCloseHandle(request.h);  // the old request before its connection
  request.h = h;
  request.hop = std::move(connection);
  request.flags = flags;
  request.verb = verb;
  request.url = target;
  return true;
}

}  // namespace

RequestHandle transport_open_request(TransportConnection& connection, const Text& verb,
                                     const Text& path, std::uint32_t flags) {
  HINTERNET h = open_request(connection.h, verb, path, flags);
  if (!h) return nullptr;
  const Text scheme = (flags & kFlagSecure) ? "https://" : "http://";
  return RequestHandle(new TransportRequest{
      h, connection.session, flags, verb,
      scheme + connection.host + ":" + std::to_string(connection.port) + path, nullptr});
}

namespace {

// Whether the request's total time-out has run out; it then has nothing more
// to deliver. A blocked call still ends by the receive time-out.
bool out_of_time(TransportRequest& request) {
  if (request.deadline != 0 && GetTickCount64() >= request.deadline) request.lost = true;
  return request.lost;
}

}  // namespace

bool transport_send(TransportRequest& request, const Text& headers, const Bytes& body) {
  if (const int total = g_total_ms.load(); total > 0)
    request.deadline = GetTickCount64() + static_cast<ULONGLONG>(total);
  const bool follow = (request.flags & kFlagNoAutoRedirect) == 0;
  bool keep_body = true;
  for (int hop = 0;; ++hop) {
    void* data = body.empty() || !keep_body ? nullptr : const_cast<std::uint8_t*>(body.data());
    const DWORD size = data ? static_cast<DWORD>(body.size()) : 0;
    if (!HttpSendRequestA(request.h, or_null(headers), static_cast<DWORD>(headers.size()), data,
                          size))
      return false;
    if (!follow) return true;
    DWORD status = 0, length = sizeof status;
    if (!HttpQueryInfoA(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &length, nullptr) ||
        !is_redirect(status))
      return true;
    const Text location = query_header(request.h, HTTP_QUERY_LOCATION);
    if (location.empty()) return true;
    if (out_of_time(request)) return false;
    if (hop == kMaxRedirects) {  // a chain this long leads nowhere
      request.lost = true;
      return false;
    }
    if (!move_to(request, status, location, keep_body)) return true;
  }
}

int transport_read(TransportRequest& request, std::uint8_t* buffer, int size) {
  if (out_of_time(request)) return -1;
  // InternetReadFile waits until the whole buffer is filled; asking for no
  // more than has arrived lets each read return as soon as bytes come, so the
  // total time-out is seen between them.
  DWORD available = 0;
  if (!InternetQueryDataAvailable(request.h, &available, 0, 0)) return -1;
  if (available == 0) return 0;  // the body is complete
  if (out_of_time(request)) return -1;
  DWORD count = 0;
  const DWORD want = std::min(available, static_cast<DWORD>(size));
  if (!InternetReadFile(request.h, buffer, want, &count)) return -1;
  return static_cast<int>(count);
}

bool transport_make_room(Bytes& body, std::size_t extra) noexcept {
  if (body.capacity() - body.size() >= extra) return true;
  if (extra > body.max_size() - body.size()) return false;
  try {
    body.reserve(std::max({body.size() + extra, body.capacity() * 2, std::size_t{1} << 16}));
  } catch (const std::exception&) {  // bad_alloc, length_error
    return false;
  }
  return true;
}

std::optional<Text> transport_raw_headers(TransportRequest& request) {
  if (request.lost) return std::nullopt;
  // 5000 bytes first; a longer header text is asked for again at the size
  // the platform reports.
  Text text(5000, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(text.size());
    if (HttpQueryInfoA(request.h, HTTP_QUERY_RAW_HEADERS_CRLF, text.data(), &length,
                       nullptr)) {
      text.resize(std::min<std::size_t>(length, text.size()));
      text.resize(std::min(text.size(), text.find('\0')));  // a Text holds no zero byte
      // Some WinINet versions answer a connection that closed (or timed out)
      // before any response with an empty head: that is no response.
      if (text.find_first_not_of("\r\n") == Text::npos) break;
      return text;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    text.assign(static_cast<std::size_t>(length) + 1, '\0');
  }
  return std::nullopt;
}

}  // namespace quoril

// The transport over WinINet (Windows). Callers never touch this file; they
// go through http/transport.h.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <exception>

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
};
struct TransportRequest {
  HINTERNET h;
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
  return ConnectionHandle(new TransportConnection{h});
}

RequestHandle transport_open_request(TransportConnection& connection, const Text& verb,
                                     const Text& path, std::uint32_t flags) {
  HINTERNET h = HttpOpenRequestA(connection.h, verb.c_str(), or_null(path), "HTTP/1.1",
                                 nullptr, nullptr, flags, 0);
  if (!h) return nullptr;
  RequestHandle r(new TransportRequest{h});
  if (!set_timeouts(h)) return nullptr;
  return r;
}

bool transport_send(TransportRequest& request, const Text& headers, const Bytes& body) {
  void* data = body.empty() ? nullptr : const_cast<std::uint8_t*>(body.data());
  return HttpSendRequestA(request.h, or_null(headers), static_cast<DWORD>(headers.size()),
                          data, static_cast<DWORD>(body.size()));
}

int transport_read(TransportRequest& request, std::uint8_t* buffer, int size) {
  DWORD count = 0;
  if (!InternetReadFile(request.h, buffer, static_cast<DWORD>(size), &count)) return -1;
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

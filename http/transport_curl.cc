// The transport over libcurl (Linux). Callers never touch this file; they go
// through http/transport.h.
//
// The transfer runs on a multi handle that transport_read drives only while
// its buffer is empty; the transfer pauses while the buffer holds unread
// bytes, so the body streams through one socket read's worth of memory
// whatever its size, and a caller that stops reading stops the download. As with
// WinINet, the receive time-out ends a transfer that has moved no byte, up or
// down, for that long once connected; a slow but steady one goes on.
#include <curl/curl.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <string_view>

#include "http/transport.h"

namespace quoril {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_connect_ms{TransportTimeouts{}.connect_ms};
std::atomic<int> g_receive_ms{TransportTimeouts{}.receive_ms};
std::atomic<int> g_total_ms{TransportTimeouts{}.total_ms};

struct EasyCleanup {
  void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};
struct MultiCleanup {
  void operator()(CURLM* h) const noexcept { curl_multi_cleanup(h); }
};
struct ListFree {
  void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;
using Multi = std::unique_ptr<CURLM, MultiCleanup>;
using List = std::unique_ptr<curl_slist, ListFree>;

bool same_name(std::string_view line, std::string_view name) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view n = line.substr(0, colon);
  while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
  return n.size() == name.size() &&
         std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
           return (a | 0x20) == (b | 0x20);
         });
}

}  // namespace

struct TransportSession {
  Text agent;
  Text proxy;  // the http proxy, empty for direct access
  int connect_ms, receive_ms, total_ms;
};

struct TransportConnection {
  TransportSession session;
  Text host;
  int port;
};

struct TransportRequest {
  TransportConnection connection;
  Text verb, path;
  std::uint32_t flags;
  Bytes body;                // what the transfer sends
  Bytes buffer;              // received body bytes not read yet
  std::size_t read_at = 0;   // the first of them
  Text head;                 // status and header lines of the latest response
  bool head_complete = false;
  bool connected = false;         // the receive time-out runs from here
  Clock::time_point last_moved;   // the last byte up or down
  Clock::time_point started;      // the total time-out runs from here
  curl_off_t down = 0, up = 0;    // bytes moved as last seen
  bool paused = false;            // the write callback refused a chunk
  bool done = false;
  CURLcode result = CURLE_OK;
  List headers;
  Easy easy;
  Multi multi;
  bool added = false;

  ~TransportRequest() {
    if (added) curl_multi_remove_handle(multi.get(), easy.get());
  }
};

void TransportCloser::operator()(TransportSession* h) const noexcept { delete h; }
void TransportCloser::operator()(TransportConnection* h) const noexcept { delete h; }
void TransportCloser::operator()(TransportRequest* h) const noexcept { delete h; }

void set_transport_timeouts(const TransportTimeouts& timeouts) {
  g_connect_ms = timeouts.connect_ms;
  g_receive_ms = timeouts.receive_ms;
  g_total_ms = timeouts.total_ms;
}

SessionHandle transport_open(const Text& agent, const std::optional<Text>& proxy_list) {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!ready) return nullptr;
  SessionHandle s(new TransportSession{agent, {}, g_connect_ms, g_receive_ms, g_total_ms});
  // WinINet list syntax: "http=HOST:PORT" names the proxy of plain http; an
  // entry ends at a space or ";".
  if (proxy_list && proxy_list->rfind("http=", 0) == 0) {
    Text p = proxy_list->substr(5);
    p = p.substr(0, p.find_first_of(" ;"));
    if (!p.empty() && p.find("://") == Text::npos) p = "http://" + p;
    s->proxy = p;
  }
  return s;
}

ConnectionHandle transport_connect(TransportSession& session, const Text& host, int port) {
  if (port < 0 || port > 65535) return nullptr;
  return ConnectionHandle(new TransportConnection{session, host, port});
}

RequestHandle transport_open_request(TransportConnection& connection, const Text& verb,
                                     const Text& path, std::uint32_t flags) {
  RequestHandle r(new TransportRequest{});
  r->connection = connection;
  r->verb = verb;
  r->path = path;
  r->flags = flags;
  r->easy.reset(curl_easy_init());
  r->multi.reset(curl_multi_init());
  if (!r->easy || !r->multi) return nullptr;
  return r;
}

namespace {

// Keeps the status and header lines of the latest response only: a redirect
// or a 1xx answer is followed by another status line.
size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<TransportRequest*>(user);
  r->last_moved = Clock::now();
  std::string_view line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) {
    r->head.clear();
    r->head_complete = false;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  line = line.substr(0, line.find('\0'));  // a Text holds no zero byte
  if (line.empty()) {
    if (!r->head_complete && !r->head.empty()) r->head += "\r\n";  // as WinINet ends it
    r->head_complete = true;
  } else {
    r->head.append(line);
    r->head += "\r\n";
  }
  return size * count;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<TransportRequest*>(user);
  r->last_moved = Clock::now();
  if (r->read_at < r->buffer.size()) {  // one chunk at a time: curl keeps this one
    r->paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
  r->buffer.insert(r->buffer.end(), bytes, bytes + size * count);
  return size * count;
}

// Called once each connection is set up, before the request goes out.
int on_connected(void* user, char*, char*, int, int) {
  auto* r = static_cast<TransportRequest*>(user);
  r->connected = true;
  r->last_moved = Clock::now();
  return CURL_PREREQFUNC_OK;
}

int on_progress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* r = static_cast<TransportRequest*>(user);
  if (down != r->down || up != r->up) r->last_moved = Clock::now();
  r->down = down;
  r->up = up;
  return 0;
}

// Runs the transfer until new body bytes wait in the buffer, `until_head`
// asks only for a complete head, or the transfer is over.
void pump(TransportRequest& r, bool until_head) {
  while (!r.done) {
    int running = 0;
    if (curl_multi_perform(r.multi.get(), &running) != CURLM_OK) {
      r.done = true;
      r.result = CURLE_RECV_ERROR;
      break;
    }
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(r.multi.get(), &left)) {
      if (m->msg == CURLMSG_DONE) {
        r.done = true;
        r.result = m->data.result;
      }
    }
    if (r.done || r.read_at < r.buffer.size() || (until_head && r.head_complete)) break;
    int wait_ms = 1000;
    if (const int total_ms = r.connection.session.total_ms; total_ms > 0) {
      const auto spent =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.started);
      const int remaining = total_ms - static_cast<int>(std::min<long long>(spent.count(), total_ms));
      if (remaining <= 0) {
        r.done = true;
        r.result = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      wait_ms = std::min(wait_ms, remaining);
    }
    if (r.connected) {
      auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                        r.last_moved);
      int remaining = r.connection.session.receive_ms - static_cast<int>(idle.count());
      if (remaining <= 0) {
        r.done = true;
        r.result = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      wait_ms = std::min(wait_ms, remaining);
    }
    if (curl_multi_poll(r.multi.get(), nullptr, 0, wait_ms, nullptr) != CURLM_OK) {
      r.done = true;
      r.result = CURLE_RECV_ERROR;
    }
  }
}

bool configure(TransportRequest& r, const Text& header_text) {
  CURL* h = r.easy.get();
  const TransportConnection& c = r.connection;
  const TransportSession& s = c.session;
  bool secure = r.flags & kFlagSecure;
  int port = c.port != 0 ? c.port : secure ? 443 : 80;
  Text url = join_texts(secure ? "https://" : "http://", c.host, ":", std::to_string(port),
                        r.path);

  // The header text as lines; curl's own Accept, Expect and Content-Type are
  // removed ("Name:" alone) unless the text has its own.
  curl_slist* list = nullptr;
  bool accept = false, expect = false, type = false;
  auto add = [&](const std::string& line) {
    curl_slist* l = curl_slist_append(list, line.c_str());
    if (l) list = l;
    return l != nullptr;
  };
  bool ok = true;
  for (std::size_t at = 0; at <= header_text.size() && ok;) {
    std::size_t end = header_text.find("\r\n", at);
    if (end == Text::npos) end = header_text.size();
    std::string line = header_text.substr(at, end - at);
    at = end + 2;
    // An empty line would end the head early, and curl reads "Name:" alone as
    // removing a header of its own: neither is sent.
    if (line.empty() || line.back() == ':') continue;
    accept |= same_name(line, "Accept");
    expect |= same_name(line, "Expect");
    type |= same_name(line, "Content-Type");
    ok = add(line);
  }
  if (ok && !accept) ok = add("Accept:");
  if (ok && !expect) ok = add("Expect:");
  if (ok && !type) ok = add("Content-Type:");
  r.headers.reset(list);
  if (!ok) return false;

  bool proxied = !secure && !s.proxy.empty();
  bool follow = !(r.flags & kFlagNoAutoRedirect);
  bool set = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
             // Socket reads of 64 KiB: four times fewer than by default, yet
             // small enough that the chunk curl keeps over a pause is cheap.
             curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 64L * 1024) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_PROXY, proxied ? s.proxy.c_str() : "") == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,loopback,127.0.0.1,::1") == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L) == CURLE_OK &&
             // Like WinINet: an https request never drops to http on a redirect.
             curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR,
                              secure ? "https" : "http,https") == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long{s.connect_ms}) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, on_connected) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_PREREQDATA, &r) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, on_progress) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_XFERINFODATA, &r) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_HTTPHEADER, r.headers.get()) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_HEADERDATA, &r) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_WRITEDATA, &r) == CURLE_OK;
  if (set && !s.agent.empty())
    set = curl_easy_setopt(h, CURLOPT_USERAGENT, s.agent.c_str()) == CURLE_OK;
  if (set && (r.verb == "POST" || !r.body.empty())) {
    // POSTFIELDS needs a pointer even for an empty body.
    static const char kNothing[] = "";
    const void* data = r.body.empty() ? static_cast<const void*>(kNothing) : r.body.data();
    set = curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                           static_cast<curl_off_t>(r.body.size())) == CURLE_OK &&
          curl_easy_setopt(h, CURLOPT_POSTFIELDS, data) == CURLE_OK;
    if (set && r.verb != "POST")
      set = curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, r.verb.c_str()) == CURLE_OK;
  }
  return set;
}

}  // namespace

bool transport_send(TransportRequest& request, const Text& headers, const Bytes& body) {
  if (request.added) return false;
  request.body = body;
  if (!configure(request, headers) ||
      curl_multi_add_handle(request.multi.get(), request.easy.get()) != CURLM_OK) {
    request.done = true;
    request.result = CURLE_FAILED_INIT;
    return false;
  }
  request.added = true;
  request.started = Clock::now();
  pump(request, true);
  return !request.head.empty();
}

int transport_read(TransportRequest& request, std::uint8_t* buffer, int size) {
  if (!request.added) return -1;
  if (request.read_at == request.buffer.size()) {
    request.buffer.clear();  // keeps its capacity
    request.read_at = 0;
    if (request.paused) {    // curl hands the chunk it kept to on_body now
      request.paused = false;
      if (curl_easy_pause(request.easy.get(), CURLPAUSE_CONT) != CURLE_OK) {
        request.done = true;
        request.result = CURLE_RECV_ERROR;
      }
    }
    if (request.buffer.empty()) pump(request, false);
  }
  std::size_t n = std::min(request.buffer.size() - request.read_at,
                           static_cast<std::size_t>(std::max(size, 0)));
  if (n == 0) return request.done && request.result == CURLE_OK ? 0 : -1;
  std::memcpy(buffer, request.buffer.data() + request.read_at, n);
  request.read_at += n;
  return static_cast<int>(n);
}

bool transport_make_room(Bytes& body, std::size_t extra) noexcept {
  if (body.capacity() - body.size() >= extra) return true;
  if (extra > body.max_size() - body.size()) return false;
  std::size_t capacity = std::max({body.size() + extra, body.capacity() * 2, std::size_t{1} << 16});
  Bytes bigger;
  try {
    bigger.reserve(capacity);
  } catch (const std::exception&) {  // bad_alloc, length_error
    return false;
  }
  // Ask for transparent huge pages over the 2 MiB-aligned inside of the new
  // block before anything touches it; advice that is refused changes nothing.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  auto begin = (reinterpret_cast<std::uintptr_t>(bigger.data()) + kHuge - 1) & ~(kHuge - 1);
  auto end = (reinterpret_cast<std::uintptr_t>(bigger.data()) + capacity) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  bigger.insert(bigger.end(), body.begin(), body.end());  // within capacity: no throw
  body.swap(bigger);
  return true;
}

std::optional<Text> transport_raw_headers(TransportRequest& request) {
  if (request.head.empty()) return std::nullopt;
  return request.head;
}

}  // namespace quoril

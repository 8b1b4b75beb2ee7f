// The platform's HTTP transport: an Internet session, a connection and one
// request, used synchronously. Callers never touch a back end; they use only
// these functions, which exactly one back end provides: WinINet on Windows
// (transport_wininet.cc), libcurl elsewhere (transport_curl.cc).
//
// Handles are move-only owners; letting one go (or reset()) closes it. Close a
// request before its connection and a connection before its session.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "text/text.h"

namespace quoril {

// Request flags, with the values of their WinINet namesakes.
inline constexpr std::uint32_t kFlagReload = 0x80000000;     // never from a cache
inline constexpr std::uint32_t kFlagNeedFile = 0x10;         // (WinINet only)
inline constexpr std::uint32_t kFlagNoCookies = 0x80000;     // no cookie engine
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000;  // deliver redirects
inline constexpr std::uint32_t kFlagSecure = 0x800000;       // over TLS
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000;  // http -> https allowed

struct TransportTimeouts {
  int connect_ms = 60000;  // to set up a connection
  int receive_ms = 30000;  // without an answer or data
  // For a whole request, redirects and body included, so that a server that
  // drips its answer a byte at a time cannot hold the caller for good; 0 sets
  // no limit.
  int total_ms = 180000;
};
// Process-wide; sessions opened afterwards use them. Tests shorten them.
void set_transport_timeouts(const TransportTimeouts& timeouts);

struct TransportSession;
struct TransportConnection;
struct TransportRequest;
struct TransportCloser {
  void operator()(TransportSession* h) const noexcept;
  void operator()(TransportConnection* h) const noexcept;
  void operator()(TransportRequest* h) const noexcept;
};
using SessionHandle = std::unique_ptr<TransportSession, TransportCloser>;
using ConnectionHandle = std::unique_ptr<TransportConnection, TransportCloser>;
using RequestHandle = std::unique_ptr<TransportRequest, TransportCloser>;

// A session whose requests carry `agent` as User-Agent (none when empty).
// Without `proxy_list` every request goes direct; with "http=HOST:PORT" plain
// http requests go through that proxy (never those to localhost or
// 127.0.0.1) and https ones go direct; "http=" alone goes direct too. The
// environment's proxy settings are never read. Null on failure.
SessionHandle transport_open(const Text& agent, const std::optional<Text>& proxy_list);

// A connection to `host` at `port` (0: the scheme's default), opened lazily by
// the first request. Null on failure, or for a port above 65535 or below 0.
ConnectionHandle transport_connect(TransportSession& session, const Text& host, int port);

// An HTTP/1.1 request for `path` with the verb "GET" or "POST" and kFlag*
// flags. Null on failure.
RequestHandle transport_open_request(TransportConnection& connection, const Text& verb,
                                     const Text& path, std::uint32_t flags);

// Sends the request with `headers` (lines separated by CR LF; the transport
// adds Host, the session's User-Agent and, with a body, Content-Length) and
// `body` (none when empty, except that a POST always carries its length).
// Follows redirects unless kFlagNoAutoRedirect. False when no response came.
bool transport_send(TransportRequest& request, const Text& headers, const Bytes& body);

// Up to `size` bytes of the final response's body into `buffer`: their count,
// 0 once the body is complete, -1 when the transfer failed (time-out, reset,
// a body shorter than announced, no response).
int transport_read(TransportRequest& request, std::uint8_t* buffer, int size);

// Makes room for `extra` more bytes at the end of `body` (its size stays),
// growing the capacity geometrically so that filling it is linear; false,
// with `body` unchanged, when the memory cannot be had. Where the platform
// can, a large buffer is backed by huge pages: faulting a body of many MiB
// in 4 KiB pages costs more than receiving it.
bool transport_make_room(Bytes& body, std::size_t extra) noexcept;

// The final response's status line and header lines, each ended by CR LF, as
// the server sent them, whatever their length; nullopt when no response came.
std::optional<Text> transport_raw_headers(TransportRequest& request);

}  // namespace quoril

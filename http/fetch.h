// One HTTP request, GET or POST, over the platform's transport.
//
// In-out and out parameters are pointers to the caller's variables and are
// written as soon as they change; a null pointer leaves a scratch variable in
// its place. Supplying `proxy`, even empty, selects proxy access with the list
// "http=" + proxy; leaving it out goes direct.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace quoril {

// Returns the body of the final response, or empty when nothing was read, the
// request never reached a server, the transfer failed part-way or the body
// grew past `max_body` bytes (-1: no limit); the other steps run all the same.
//   method        0 GET; 1 POST; any other value sends a body with GET.
//   body_text     the body when `body_bytes` is empty.
//   cookies       in-out: sent as a Cookie line; afterwards the merged string.
//   new_cookies   out: the pairs this response set, ";"-separated, no spaces.
//   extra_headers in-out: CR LF separated lines; the default lines are added
//                 and it holds the header text that was sent.
//   redirect_to   in-out: the Location value, else (when still empty) the
//                 raw header text.
//   no_redirect   deliver a redirect instead of following it.
//   body_bytes    in-out: the body; filled from `body_text` when a body is
//                 sent and it is empty.
//   raw_headers   out: status line and header lines of the final response;
//                 5000 spaces when no response came.
Bytes http_fetch(const Text& address, int method = 0,
                 const Text& body_text = {}, Text* cookies = nullptr,
                 Text* new_cookies = nullptr, Text* extra_headers = nullptr,
                 Text* redirect_to = nullptr, bool no_redirect = false,
                 Bytes* body_bytes = nullptr,
                 const std::optional<Text>& proxy = std::nullopt,
                 Text* raw_headers = nullptr, std::int64_t max_body = -1);

// http_fetch with the proxy always supplied ("http=" alone when left out) and
// the body decoded from UTF-8 to GBK.
Text http_fetch_text(const Text& address, int method = 0,
                     const Text& body_text = {}, Text* cookies = nullptr,
                     Text* new_cookies = nullptr, Text* extra_headers = nullptr,
                     Text* redirect_to = nullptr, bool no_redirect = false,
                     Bytes* body_bytes = nullptr,
                     const std::optional<Text>& proxy = std::nullopt,
                     Text* raw_headers = nullptr, std::int64_t max_body = -1);

}  // namespace quoril

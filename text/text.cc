// Text, Bytes and TextArray: making, measuring, comparing, joining, converting.
#include "text/text.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>

namespace quoril {

int text_len(const Text& t) { return static_cast<int>(t.size()); }

int text_cmp(const Text& a, const Text& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);  // unsigned bytes
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

Text join_texts(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  Text out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return out;
}

Text join_texts(Text&& head, std::initializer_list<std::string_view> rest) {
  std::size_t total = head.size();
  bool inside = false;  // a part in head's own storage would move as head grows
  for (std::string_view p : rest) {
    total += p.size();
    inside = inside || (!p.empty() && !std::less<>()(p.data(), head.data()) &&
                        std::less<>()(p.data(), head.data() + head.capacity()));
  }
  if (inside) {
    Text out;
    out.reserve(total);
    out.append(head);
    for (std::string_view p : rest) out.append(p);
    return out;
  }
  if (total > head.capacity()) head.reserve(std::max(total, 2 * head.capacity()));
  for (std::string_view p : rest) head.append(p);
  return std::move(head);
}

Text copy_text(const Text& t) { return t; }

Text char_text(int code) {
  const char c = static_cast<char>(static_cast<unsigned>(code) & 0xFFu);
  return c == 0 ? Text() : Text(1, c);
}

Text space_text(int n) { return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' '); }

int bytes_len(const Bytes& b) { return static_cast<int>(b.size()); }

std::uint8_t byte_at(const Bytes& b, int i) {
  assert(i >= 1 && static_cast<std::size_t>(i) <= b.size());
  return b[static_cast<std::size_t>(i) - 1];
}

bool bytes_equal(const Bytes& a, const Bytes& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

Bytes join_bytes(std::initializer_list<std::span<const std::uint8_t>> parts) {
  std::size_t total = 0;
  for (auto p : parts) total += p.size();
  Bytes out;
  out.reserve(total);
  for (auto p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes join_bytes(Bytes&& head,
                 std::initializer_list<std::span<const std::uint8_t>> rest) {
  std::size_t total = head.size();
  bool inside = false;  // as for join_texts: never read from storage that moves
  for (auto p : rest) {
    total += p.size();
    inside = inside || (!p.empty() && !std::less<>()(p.data(), head.data()) &&
                        std::less<>()(p.data(), head.data() + head.capacity()));
  }
  if (inside) {
    Bytes out;
    out.reserve(total);
    out.insert(out.end(), head.begin(), head.end());
    for (auto p : rest) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
  if (total > head.capacity()) head.reserve(std::max(total, 2 * head.capacity()));
  for (auto p : rest) head.insert(head.end(), p.begin(), p.end());
  return std::move(head);
}

Bytes bytes_head(const Bytes& b, int n) {
  if (n < 1) return {};
  const std::size_t k = static_cast<std::size_t>(n) < b.size() ? static_cast<std::size_t>(n) : b.size();
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(k));
}

Bytes zero_bytes(int n) { return n < 1 ? Bytes() : Bytes(static_cast<std::size_t>(n), 0); }

Bytes text_to_bytes(const Text& t) { return Bytes(t.begin(), t.end()); }

Text bytes_to_text(const Bytes& b) {
  if (b.empty()) return {};
  const void* z = std::memchr(b.data(), 0, b.size());
  const std::size_t n = z ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - b.data()) : b.size();
  return Text(reinterpret_cast<const char*>(b.data()), n);
}

int item_count(const TextArray& a) { return static_cast<int>(a.size()); }

const Text& item_at(const TextArray& a, int i) {
  assert(i >= 1 && static_cast<std::size_t>(i) <= a.size());
  return a[static_cast<std::size_t>(i) - 1];
}

void append_item(TextArray& a, const Text& t) { a.push_back(t); }

}  // namespace quoril

// Cutting, searching, case, spaces, replacing, splitting and numbers.
#include "text/text_ops.h"

#include <cstring>
#include <string_view>

namespace quoril {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

inline unsigned char byte(std::string_view t, std::size_t i) {
  return static_cast<unsigned char>(t[i]);
}
inline bool high(unsigned char c) { return c >= 0x80; }
inline unsigned char fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// 0-based offset of a 1-based start: absent or below 1 gives 0. Never
// overflows, also for INT_MIN.
inline std::size_t start_offset(int start) {
  return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

// Finds `sub` in `t` at unit boundaries, with every occurrence ending at or
// before `limit`. Units are counted from the offset handed to find(), which
// must itself be a boundary. Candidates come from a byte search (memchr on the
// first byte, folded to both cases when ignoring case); a candidate k is a
// boundary exactly when the run of bytes >= 0x80 just before it (back to the
// last byte < 0x80, or to the last known boundary) has even length: the byte
// after a byte < 0x80 always starts a unit. The last known boundary only moves
// forward, so a whole scan reads every byte a bounded number of times.
class UnitFinder {
 public:
  UnitFinder(std::string_view t, std::string_view sub, std::size_t limit, bool ignore_case)
      : t_(t), sub_(sub), limit_(limit), fold_(ignore_case) {
    if (fold_ && !sub_.empty()) {
      first_a_ = fold(static_cast<unsigned char>(sub_[0]));
      first_b_ = (first_a_ >= 'a' && first_a_ <= 'z') ? first_a_ - 0x20 : -1;
    } else if (!sub_.empty()) {
      first_a_ = static_cast<unsigned char>(sub_[0]);
    }
  }

  // First match at or after `from` (a unit boundary that restarts the count),
  // or kNone.
  std::size_t find(std::size_t from) {
    const std::size_t m = sub_.size();
    if (m == 0 || m > limit_ || from > limit_ - m) return kNone;
    last_ = limit_ - m;
    known_ = from;
    for (std::size_t k = from; k <= last_;) {
      k = next_candidate(k);
      if (k == kNone) return kNone;
      if (boundary(k)) return k;
      known_ = k + 1;  // k is a trail byte, so the unit after it starts at k+1
      ++k;
    }
    return kNone;
  }

 private:
  // Whether candidate k starts a unit; k is never below the last known
  // boundary.
  bool boundary(std::size_t k) {
    std::size_t j = k;
    while (j > known_ && high(byte(t_, j - 1))) --j;
    if (((k - j) & 1) != 0) return false;
    known_ = k;
    return true;
  }

  // Smallest k' >= k with k' <= last_ whose m bytes equal sub (folded when
  // asked), or kNone.
  std::size_t next_candidate(std::size_t k) {
    const std::size_t m = sub_.size();
    while (k <= last_) {
      k = scan_first(k);
      if (k == kNone) return kNone;
      if (rest_equal(k, m)) return k;
      ++k;
    }
    return kNone;
  }

  // Offset of the first byte c in [k, end), or end.
  std::size_t memchr_in(int c, std::size_t k, std::size_t end) const {
    const void* p = std::memchr(t_.data() + k, c, end - k);
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - t_.data()) : end;
  }

  // Next offset in [k, last_] whose byte equals sub's first (either case), or
  // kNone. Folding scans for both cases window by window: each window is read
  // while it is in cache, and each cached position only moves forward.
  std::size_t scan_first(std::size_t k) {
    if (first_b_ < 0) {
      const std::size_t at = memchr_in(first_a_, k, last_ + 1);
      return at > last_ ? kNone : at;
    }
    while (k <= last_) {
      if (k >= win_end_) {
        win_end_ = last_ + 1 - k > kWindow ? k + kWindow : last_ + 1;
        next_a_ = memchr_in(first_a_, k, win_end_);
        next_b_ = memchr_in(first_b_, k, win_end_);
      }
      if (next_a_ < k) next_a_ = memchr_in(first_a_, k, win_end_);
      if (next_b_ < k) next_b_ = memchr_in(first_b_, k, win_end_);
      const std::size_t at = next_a_ < next_b_ ? next_a_ : next_b_;
      if (at < win_end_) return at;
      k = win_end_;
    }
    return kNone;
  }

  bool rest_equal(std::size_t k, std::size_t m) const {
    if (!fold_) return std::memcmp(t_.data() + k + 1, sub_.data() + 1, m - 1) == 0;
    for (std::size_t i = 1; i < m; ++i)
      if (fold(byte(t_, k + i)) != fold(byte(sub_, i))) return false;
    return true;
  }

  static constexpr std::size_t kWindow = 16 * 1024;
  std::string_view t_, sub_;
  std::size_t limit_, last_ = 0, known_ = 0;
  bool fold_;
  int first_a_ = 0, first_b_ = -1;
  std::size_t win_end_ = 0, next_a_ = 0, next_b_ = 0;
};

// Whether offset k starts a unit when units are counted from `from` (<= k).
inline bool starts_unit(std::string_view t, std::size_t from, std::size_t k) {
  std::size_t j = k;
  while (j > from && high(byte(t, j - 1))) --j;
  return ((k - j) & 1) == 0;
}

inline bool is_space_unit(std::string_view t, std::size_t i) {
  const unsigned char c = byte(t, i);
  return c == 0x20 || (c == 0xA1 && i + 1 < t.size() && byte(t, i + 1) == 0xA1);
}

}  // namespace

Text take_left(const Text& t, int n) {
  return n < 1 ? Text() : t.substr(0, static_cast<std::size_t>(n));
}

Text take_right(const Text& t, int n) {
  if (n < 1) return {};
  const std::size_t k = static_cast<std::size_t>(n);
  return k >= t.size() ? t : t.substr(t.size() - k);
}

Text take_middle(const Text& t, int start, int n) {
  if (start < 1 || n < 1) return {};
  const std::size_t b = static_cast<std::size_t>(start) - 1;
  return b >= t.size() ? Text() : t.substr(b, static_cast<std::size_t>(n));
}

int find_first(const Text& t, const Text& sub, int start, bool ignore_case) {
  const std::size_t b = start_offset(start);
  if (b >= t.size()) return -1;
  if (sub.empty()) return 1;
  const std::size_t k = UnitFinder(t, sub, t.size(), ignore_case).find(b);
  return k == kNone ? -1 : static_cast<int>(k + 1);
}

int find_last(const Text& t, const Text& sub, std::optional<int> start, bool ignore_case) {
  std::size_t end = t.size();
  if (start) {
    const std::size_t e = start_offset(*start);
    if (e == 0) return -1;
    if (e < end) end = e;
  }
  if (end == 0) return -1;
  if (sub.empty()) return 1;
  // Forwards from the first byte, keeping the latest match. A match at k is a
  // boundary; the unit there ends at k+1 or k+2, where the count goes on.
  UnitFinder finder(t, sub, end, ignore_case);
  std::size_t found = kNone;
  for (std::size_t k = finder.find(0); k != kNone;) {
    found = k;
    const std::size_t next = high(byte(t, k)) ? k + 2 : k + 1;
    if (next >= t.size()) break;
    k = finder.find(next);
  }
  return found == kNone ? -1 : static_cast<int>(found + 1);
}

Text lower_ascii(const Text& t) {
  Text out = t;
  for (std::size_t i = 0; i < out.size();) {
    const unsigned char c = byte(out, i);
    if (high(c)) {
      i += 2;
    } else {
      out[i] = static_cast<char>(fold(c));
      ++i;
    }
  }
  return out;
}

Text trim_spaces(const Text& t) {
  const std::size_t n = t.size();
  std::size_t i = 0;
  while (i < n && is_space_unit(t, i)) i += byte(t, i) == 0x20 ? 1 : 2;
  const std::size_t begin = i;
  std::size_t end = n;   // where the result ends
  std::size_t run = kNone;  // start of the latest run of spaces
  while (i < n) {
    const unsigned char c = byte(t, i);
    if (high(c) && i + 1 == n) {  // lone lead byte: cut just before it
      end = i;
      run = kNone;
      break;
    }
    if (is_space_unit(t, i)) {
      if (run == kNone) run = i;
    } else {
      run = kNone;
    }
    i += high(c) ? 2 : 1;
  }
  if (run != kNone) end = run;
  return end > begin ? t.substr(begin, end - begin) : Text();
}

Text remove_spaces(const Text& t) {
  Text out(t.size(), ' ');
  char* w = out.data();
  const std::size_t n = t.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = byte(t, i);
    if (!high(c)) {
      if (c != 0x20) *w++ = static_cast<char>(c);
      ++i;
    } else if (i + 1 == n) {
      break;  // lone lead byte at the end: dropped
    } else {
      if (c != 0xA1 || byte(t, i + 1) != 0xA1) {
        w[0] = static_cast<char>(c);
        w[1] = t[i + 1];
        w += 2;
      }
      i += 2;
    }
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

Text replace_text(const Text& t, const Text& find, const Text& replacement,
                  int start, std::optional<int> count, bool case_sensitive) {
  const std::size_t b = start_offset(start);
  if (t.empty() || find.empty() || (count && *count == 0) || b >= t.size()) return t;
  const std::size_t m = find.size();
  Text out;
  out.reserve(t.size());
  out.append(t, 0, b);
  UnitFinder finder(t, find, t.size(), !case_sensitive);
  // A count below 0 never reaches 0 as the walk lowers it: no limit.
  int left = count && *count > 0 ? *count : -1;
  std::size_t pos = b;
  while (left != 0) {
    const std::size_t k = finder.find(pos);
    if (k == kNone) {
      // The walk goes on to the end without a match. With a one-byte find it
      // reaches a lone lead byte at the end, when that starts a unit, and
      // drops it.
      if (m == 1 && pos < t.size() && high(byte(t, t.size() - 1)) &&
          starts_unit(t, pos, t.size() - 1)) {
        out.append(t, pos, t.size() - 1 - pos);
        return out;
      }
      break;
    }
    out.append(t, pos, k - pos);
    out.append(replacement);
    pos = k + m;
    if (left > 0) --left;
  }
  out.append(t, pos, kNone);
  return out;
}

TextArray split_by(const Text& t, const Text& separator) {
  TextArray parts;
  if (t.empty()) return parts;
  if (separator.empty()) {
    parts.push_back(t);
    return parts;
  }
  UnitFinder finder(t, separator, t.size(), false);
  std::size_t piece = 0;
  for (std::size_t k = finder.find(0); k != kNone; k = finder.find(piece)) {
    parts.emplace_back(t, piece, k - piece);
    piece = k + separator.size();
  }
  if (piece < t.size()) parts.emplace_back(t, piece, kNone);
  return parts;
}

int parse_int(const Text& t) {
  // Full-width forms become their ASCII bytes first.
  Text half;
  half.reserve(t.size());
  for (std::size_t i = 0; i < t.size();) {
    const unsigned char c = byte(t, i);
    if (!high(c)) {
      half.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (i + 1 == t.size()) break;  // lone lead byte ends the pass
    const unsigned char d = byte(t, i + 1);
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
      half.push_back(static_cast<char>(d - 0x80));
    } else if (c == 0xA1 && d == 0xA1) {
      half.push_back(' ');
    } else {
      half.append(t, i, 2);
    }
    i += 2;
  }
  std::size_t i = 0;
  while (i < half.size() && (half[i] == ' ' || (half[i] >= 0x09 && half[i] <= 0x0D))) ++i;
  bool negative = false;
  if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
  std::uint32_t value = 0;  // wraps like 32-bit two's complement
  for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(half[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text hex_text(int v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::uint32_t u = static_cast<std::uint32_t>(v);
  char buf[8];
  std::size_t n = 0;
  do {
    buf[7 - n++] = kDigits[u & 0xFu];
    u >>= 4;
  } while (u != 0);
  return Text(buf + 8 - n, n);
}

int bit_or(int a, int b) { return a | b; }

}  // namespace quoril

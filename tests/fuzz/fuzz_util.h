// Shared pieces of the fuzz targets: cutting the input into fields, a check
// that prints the failing values, and slow, obviously right models of the
// character-unit walk that the targets compare the library against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Prints a labelled value as hex, so a finding can be turned into a test.
inline void dump(const char* label, const std::string& s) {
  std::fprintf(stderr, "%s (%zu):", label, s.size());
  for (unsigned char c : s) std::fprintf(stderr, " %02X", c);
  std::fprintf(stderr, "\n");
}

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(cond) \
  do { if (!(cond)) ::fuzz::fail(__FILE__, __LINE__, #cond); } while (0)

// The input cut at zero bytes into `n` fields (a Text never holds a zero
// byte, so the separator cannot occur inside one). Missing fields are empty;
// zero bytes past the last separator are dropped.
inline std::vector<std::string> fields(const std::uint8_t* data, std::size_t size,
                                       std::size_t n) {
  std::vector<std::string> out(n);
  std::size_t i = 0;
  for (std::size_t k = 0; k < size; ++k) {
    if (data[k] == 0) {
      if (i + 1 < n) ++i;
      continue;
    }
    out[i].push_back(static_cast<char>(data[k]));
  }
  return out;
}

// Byte `i` of an options field, 0 past its end.
inline std::uint8_t opt(const std::string& s, std::size_t i) {
  return i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0;
}

// A start position from one options byte: small values around the text, and
// now and then the extremes of int.
inline int start_from(std::uint8_t b) {
  if (b == 0x7F) return 2147483647;
  if (b == 0x80) return -2147483647 - 1;
  return static_cast<signed char>(b);
}

inline bool lead(const std::string& t, std::size_t k) {
  return static_cast<unsigned char>(t[k]) >= 0x80;
}

// Offsets where character units begin, walking from offset `from`: a byte
// of 0x80 or above takes the byte after it, unless it is the last byte.
inline std::vector<std::size_t> unit_starts(const std::string& t, std::size_t from) {
  std::vector<std::size_t> out;
  for (std::size_t k = from; k < t.size();) {
    out.push_back(k);
    k += (lead(t, k) && k + 1 < t.size()) ? 2 : 1;
  }
  return out;
}

inline bool is_unit_start(const std::string& t, std::size_t from, std::size_t k) {
  for (std::size_t u : unit_starts(t, from))
    if (u == k) return true;
  return false;
}

inline char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool same_at(const std::string& t, std::size_t k, const std::string& sub,
                    bool ignore_case) {
  if (k + sub.size() > t.size()) return false;
  for (std::size_t i = 0; i < sub.size(); ++i) {
    char a = t[k + i], b = sub[i];
    if (ignore_case) a = fold(a), b = fold(b);
    if (a != b) return false;
  }
  return true;
}

// The first unit-aligned occurrence at or after `start` (units counted from
// there), 1-based, or -1; start below 1 acts as 1.
inline int model_find_first(const std::string& t, const std::string& sub,
                            std::int64_t start, bool ignore_case) {
  const std::int64_t b = start - 1 < 0 ? 0 : start - 1;
  if (b >= static_cast<std::int64_t>(t.size())) return -1;
  if (sub.empty()) return 1;
  for (std::size_t k : unit_starts(t, static_cast<std::size_t>(b)))
    if (same_at(t, k, sub, ignore_case)) return static_cast<int>(k + 1);
  return -1;
}

// The last unit-aligned occurrence that ends before byte position `start`
// (the whole text when has_start is false).
inline int model_find_last(const std::string& t, const std::string& sub,
                           bool has_start, std::int64_t start, bool ignore_case) {
  std::int64_t end = static_cast<std::int64_t>(t.size());
  if (has_start) {
    const std::int64_t e = start - 1 < 0 ? 0 : start - 1;
    if (e == 0) return -1;
    if (e < end) end = e;
  }
  if (sub.empty()) return end > 0 ? 1 : -1;
  int found = -1;
  for (std::size_t k : unit_starts(t, 0))
    if (static_cast<std::int64_t>(k + sub.size()) <= end &&
        same_at(t, k, sub, ignore_case))
      found = static_cast<int>(k + 1);
  return found;
}

inline bool has_zero(const std::string& s) { return s.find('\0') != std::string::npos; }

// Whether `s` is well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF).
inline bool valid_utf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1Fu;
    else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0Fu;
    else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07u;
    else return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3Fu);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace fuzz

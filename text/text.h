// Text, Bytes and TextArray: the three values every routine of Quoril works on.
//
// A Text is code page 936 (GBK) bytes and never holds a zero byte; the absent
// and the empty Text are one value (the empty string). A Bytes may hold any
// byte. Lengths, positions and counts are numbers of bytes; positions are
// 1-based and -1 means "not found". Values are copied, never shared.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quoril {

using Text = std::string;                // GBK bytes, no zero byte inside
using Bytes = std::vector<std::uint8_t>;  // any bytes, zero included
using TextArray = std::vector<Text>;      // indexed from 1 by item_at

// ---- Text -----------------------------------------------------------------

// Number of bytes; 0 for the empty Text.
int text_len(const Text& t);

// -1, 0 or 1 by unsigned byte order; a proper prefix orders first. Case matters.
int text_cmp(const Text& a, const Text& b);

// The bytes of all parts in order, built in one allocation. Empty parts add
// nothing.
Text join_texts(std::initializer_list<std::string_view> parts);
template <class... Parts>
Text join_texts(const Parts&... parts) {
  return join_texts({std::string_view(parts)...});
}

// The same, appending in place to a head the caller gives up, so that
// `acc = join_texts(std::move(acc), piece)` in a loop is linear overall.
Text join_texts(Text&& head, std::initializer_list<std::string_view> rest);
template <class... Parts>
Text join_texts(Text&& head, const Parts&... rest) {
  return join_texts(std::move(head), {std::string_view(rest)...});
}

// A new Text with the same bytes.
Text copy_text(const Text& t);

// One byte, the low 8 bits of `code`; empty when those bits are 0.
Text char_text(int code);

// n ASCII spaces; empty for n < 1.
Text space_text(int n);

// ---- Bytes ----------------------------------------------------------------

// Number of bytes; 0 for the empty Bytes.
int bytes_len(const Bytes& b);

// The i-th byte, 1 <= i <= bytes_len(b). Any other i is a programming error.
std::uint8_t byte_at(const Bytes& b, int i);

// Same length and same bytes. Two empty values are equal.
bool bytes_equal(const Bytes& a, const Bytes& b);

// The bytes of all parts in order, built in one allocation.
Bytes join_bytes(std::initializer_list<std::span<const std::uint8_t>> parts);
// The same, appending in place to a head the caller gives up (linear in a loop).
Bytes join_bytes(Bytes&& head,
                 std::initializer_list<std::span<const std::uint8_t>> rest);

// The first n bytes, n clamped to [0, bytes_len(b)].
Bytes bytes_head(const Bytes& b, int n);

// n zero bytes; empty for n < 1.
Bytes zero_bytes(int n);

// The bytes of t, without a terminator.
Bytes text_to_bytes(const Text& t);

// The bytes of b before its first zero byte (all of them when none is zero).
Text bytes_to_text(const Bytes& b);

// ---- TextArray --------------------------------------------------------------

// Number of elements.
int item_count(const TextArray& a);

// The i-th element, 1 <= i <= item_count(a). Any other i is a programming error.
const Text& item_at(const TextArray& a, int i);

// Adds a copy of t at the end; an empty t adds an empty element.
void append_item(TextArray& a, const Text& t);

}  // namespace quoril

// Code-page conversion. Every step asks the platform twice: once to measure
// the output, once to convert into an area of exactly that size.
#include "encoding/codepage.h"

#include <climits>
#include <cstring>

#include "encoding/codepage_backend.h"

namespace quoril {
namespace {

namespace platform = codepage_backend;

constexpr int kGbk = 936;
constexpr int kUtf8 = 65001;
constexpr std::size_t kMaxInput = INT_MAX / 4;  // every size below fits an int

// Units of a wide text through its first zero unit, or all of them when it has
// none; an odd last byte is no unit.
int wide_extent(const Bytes& wide) {
  const std::size_t units = wide.size() / 2;
  std::size_t i = 0;
  for (; i + 4 <= units; i += 4) {  // four units at a time while none is zero
    std::uint64_t w;
    std::memcpy(&w, wide.data() + 2 * i, 8);
    if (((w - 0x0001000100010001u) & ~w & 0x8000800080008000u) != 0) break;
  }
  for (; i < units; ++i)
    if ((wide[2 * i] | wide[2 * i + 1]) == 0) return static_cast<int>(i + 1);
  return static_cast<int>(units);
}

// Wide units into `code_page` bytes. The area starts zero-filled and becomes
// the Text itself, cut at its first zero byte: exactly what the conversion
// wrote, with no second copy.
Text wide_to_text(const Bytes& wide, int measured_units, int converted_units,
                  int code_page, int flags) {
  if (measured_units == 0 || wide.size() > kMaxInput) return {};
  const std::uint8_t* src = wide.data();
  const int size = platform::wide_to_multibyte(code_page, flags, src,
                                               measured_units, nullptr, 0);
  if (size == 0) return {};
  Text area(static_cast<std::size_t>(size), '\0');
  platform::wide_to_multibyte(code_page, flags, src, converted_units,
                              area.data(), size);
  area.resize(std::strlen(area.c_str()));  // up to the first zero byte
  return area;
}

}  // namespace

Bytes ansi_to_wide(const Text& text, int code_page) {
  if (text.empty() || text.size() > kMaxInput) return {};
  // Measured in the code page that is read, so the conversion always fits: a
  // GBK text read as UTF-8 can need more units than it has as GBK.
  const int units =
      platform::multibyte_to_wide(code_page, 0, text.c_str(), -1, nullptr, 0);
  Bytes wide = zero_bytes(2 * units);
  if (units > 0)
    platform::multibyte_to_wide(code_page, 0, text.c_str(), -1, wide.data(),
                                units);
  return wide;
}

Text wide_to_ansi(const Bytes& wide, int code_page) {
  // Measured in the target code page: a text can need more than twice its GBK
  // size in UTF-8 (GBK 0x80 is one byte, its UTF-8 form three).
  const int units = wide_extent(wide);
  return wide_to_text(wide, units, units, code_page, 0);
}

Text ansi_to_utf8(const Text& text) {
  return wide_to_ansi(ansi_to_wide(text, kGbk), kUtf8);
}

Bytes utf8_to_wide(const Bytes& utf8) {
  if (utf8.empty() || utf8.size() > kMaxInput) return {};
  const char* src = reinterpret_cast<const char*>(utf8.data());
  const int len = bytes_len(utf8);
  const int units = platform::multibyte_to_wide(kUtf8, 0, src, len, nullptr, 0);
  Bytes wide = zero_bytes(2 * units);
  if (units > 0)
    platform::multibyte_to_wide(kUtf8, 0, src, len, wide.data(), units);
  return wide;
}

Text wide_to_gbk(const Bytes& wide) {
  // Measured over every unit, converted through the first zero unit only.
  return wide_to_text(wide, static_cast<int>(wide.size() / 2),
                      wide_extent(wide), kGbk, platform::kCompositeCheck);
}

// A long input goes through in pieces of about kPiece bytes, each cut just
// before an ASCII byte. An ASCII byte never continues a UTF-8 sequence and is
// never a combining mark, so no character, broken sequence or base-and-mark
// pair is split, and the result is the one the whole input gives at once; the
// UTF-16 between the two steps stays small and warm instead of twice the
// input. A zero byte is U+0000, which ends the Text: nothing after it counts.
Text utf8_to_ansi(const Bytes& utf8) {
  constexpr std::size_t kPiece = 64 * 1024;
  if (utf8.size() <= kPiece) return wide_to_gbk(utf8_to_wide(utf8));
  if (utf8.size() > kMaxInput) return {};
  const char* pos = reinterpret_cast<const char*>(utf8.data());
  const void* zero = std::memchr(pos, 0, utf8.size());
  const char* end = zero ? static_cast<const char*>(zero) : pos + utf8.size();
  Text out;
  out.reserve(static_cast<std::size_t>(end - pos));  // GBK is never longer
  Bytes wide;
  Text gbk;
  while (pos < end) {
    const char* cut = end - pos > static_cast<std::ptrdiff_t>(kPiece) ? pos + kPiece : end;
    while (cut < end && static_cast<unsigned char>(*cut) >= 0x80) ++cut;
    const int len = static_cast<int>(cut - pos);
    const int units = platform::multibyte_to_wide(kUtf8, 0, pos, len, nullptr, 0);
    if (units == 0) return {};
    if (wide.size() < 2 * static_cast<std::size_t>(units)) wide.resize(2 * static_cast<std::size_t>(units));
    if (platform::multibyte_to_wide(kUtf8, 0, pos, len, wide.data(), units) != units)
      return {};
    const int size = platform::wide_to_multibyte(kGbk, platform::kCompositeCheck,
                                                 wide.data(), units, nullptr, 0);
    pos = cut;
    // 0: only characters the code page drops (a back end that refuses the
    // code page refuses every piece, and the result stays empty).
    if (size == 0) continue;
    // Written into a warm scratch area and appended: no zero-fill of the
    // result, which is touched once.
    if (gbk.size() < static_cast<std::size_t>(size)) gbk.resize(static_cast<std::size_t>(size));
    if (platform::wide_to_multibyte(kGbk, platform::kCompositeCheck, wide.data(),
                                    units, gbk.data(), size) != size)
      return {};
    out.append(gbk.data(), static_cast<std::size_t>(size));
  }
  // No zero byte to cut at: the input stops before its first one, the reading
  // gives U+0000 only for a zero byte, and code page 936 writes a zero byte
  // only for U+0000.
  return out;
}

}  // namespace quoril

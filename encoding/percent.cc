// Percent-encoding, byte by byte.
#include "encoding/percent.h"

#include <array>

#include "encoding/codepage.h"
#include "text/text_ops.h"

namespace quoril {
namespace {

using Escape = std::array<char, 3>;

// "%" and the two upper-case hex digits of every byte, made once.
const std::array<Escape, 256>& escapes() {
  static const std::array<Escape, 256> table = [] {
    std::array<Escape, 256> t{};
    for (int b = 0; b < 256; ++b) {
      Text digits = hex_text(b);
      if (digits.size() < 2) digits.insert(0, 1, '0');
      t[static_cast<std::size_t>(b)] = {'%', digits[0], digits[1]};
    }
    return t;
  }();
  return table;
}

// - . 0-9 A-Z a-z
bool is_plain(unsigned char b) {
  return (b >= 0x2D && b <= 0x39 && b != 0x2F) || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

}  // namespace

Text url_encode(const Text& text, bool keep_plain, bool utf8_first) {
  const Text source = utf8_first ? ansi_to_utf8(text) : Text();
  const Text& in = utf8_first ? source : text;
  const std::array<Escape, 256>& table = escapes();
  Text out(in.size() * 3, '\0');
  char* o = out.data();
  for (const char ch : in) {
    const auto b = static_cast<unsigned char>(ch);
    if (keep_plain && is_plain(b)) {
      *o++ = ch;
    } else {
      const Escape& e = table[b];
      o[0] = e[0], o[1] = e[1], o[2] = e[2];
      o += 3;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace quoril

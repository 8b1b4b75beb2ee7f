// Records what Windows makes of code page 936, for the Linux back end to be
// compared with: cp936_dump [FILE] (standard output without FILE).
//
// One line per conversion: "mb CP FLAGS INPUT OUTPUT" for MultiByteToWideChar
// (input bytes, output UTF-16 units as four hex digits each) and
// "wc CP FLAGS INPUT OUTPUT" for WideCharToMultiByte (input units, output
// bytes). "-" is an empty output, "!" a refused call.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/encoding/cp936_pairs.h"

namespace {

constexpr UINT kGbk = 936;
constexpr UINT kUtf8 = 65001;
constexpr DWORD kCompositeCheck = WC_COMPOSITECHECK;

void put_hex(std::string& line, unsigned v, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) line += kDigits[(v >> (4 * i)) & 0xF];
}

void decode(std::FILE* out, UINT cp, const std::string& in) {
  WCHAR buf[16];
  const int n = MultiByteToWideChar(cp, 0, in.data(), static_cast<int>(in.size()),
                                    buf, 16);
  std::string line = "mb " + std::to_string(cp) + " 0 ";
  for (unsigned char c : in) put_hex(line, c, 2);
  line += ' ';
  if (n <= 0) line += '!';
  for (int i = 0; i < n; ++i) put_hex(line, buf[i], 4);
  line += '\n';
  std::fputs(line.c_str(), out);
}

void encode(std::FILE* out, DWORD flags, const std::vector<WCHAR>& in) {
  char buf[32];
  const int n = WideCharToMultiByte(kGbk, flags, in.data(),
                                    static_cast<int>(in.size()), buf,
                                    sizeof buf, nullptr, nullptr);
  std::string line = "wc 936 " + std::to_string(flags) + " ";
  for (WCHAR u : in) put_hex(line, u, 4);
  line += ' ';
  if (n <= 0) line += '!';
  for (int i = 0; i < n; ++i) put_hex(line, static_cast<unsigned char>(buf[i]), 2);
  line += '\n';
  std::fputs(line.c_str(), out);
}

}  // namespace

int main(int argc, char** argv) {
  std::FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (out == stdout) _setmode(_fileno(stdout), _O_BINARY);  // LF, not CR LF
  if (!out) {
    std::fprintf(stderr, "cp936_dump: cannot write %s\n", argv[1]);
    return 1;
  }
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);

  for (int b = 0; b < 256; ++b) decode(out, kGbk, std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0; trail < 256; ++trail)
      decode(out, kGbk, {static_cast<char>(lead), static_cast<char>(trail)});
  // UTF-8 that does not decode: stray, overlong, surrogate, out of range, cut.
  for (const char* bad : {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2", "\xC2" "A",
                          "\xE0\x80\x80", "\xE0\xA0", "\xE4\xB8", "\xE4\xB8" "A",
                          "\xED\xA0\x80", "\xED\xBF\xBF", "\xEF\xBF\xBE",
                          "\xF0\x80\x80\x80", "\xF0\x9F\x98", "\xF4\x90\x80\x80",
                          "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFE", "\xFF",
                          "A\xFF" "B", "\xE4\xB8\xAD\xFF\xE6\x96\x87"})
    decode(out, kUtf8, bad);

  for (DWORD flags : {DWORD{0}, kCompositeCheck}) {
    for (unsigned u = 0; u < 0x10000; ++u)
      if (u < 0xD800 || u > 0xDFFF) encode(out, flags, {static_cast<WCHAR>(u)});
    for (std::uint16_t base : quoril::cp936_table::pair_bases())
      for (std::uint16_t mark : quoril::cp936_table::pair_marks())
        encode(out, flags, {base, mark});
    for (const auto& seq : quoril::cp936_table::sequences())
      encode(out, flags, std::vector<WCHAR>(seq.begin(), seq.end()));
  }
  if (std::fflush(out) != 0 || (out != stdout && std::fclose(out) != 0)) {
    std::fprintf(stderr, "cp936_dump: write failed\n");
    return 1;
  }
  return 0;
}

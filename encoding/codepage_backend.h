// The platform's two conversion calls, shaped like MultiByteToWideChar and
// WideCharToMultiByte. codepage.cc is their only caller; callers never touch a
// back end (codepage_icu.cc on Linux, codepage_win32.cc on Windows).
//
// Code page 0 means 936 on both back ends, whatever the machine's own code
// page. A source length of -1 reads through the first zero (unit), which is
// converted too; otherwise exactly that many bytes or units are read, and a
// length of 0 is refused. A capacity of 0 measures: nothing is written and the
// size needed is returned. Otherwise the result is the count written, or 0 when
// the output did not fit or the conversion was refused. Wide areas hold UTF-16
// little-endian units and are aligned for 16-bit units (the data of any Bytes
// is).
#pragma once

#include <cstdint>

namespace quoril::codepage_backend {

inline constexpr int kCompositeCheck = 0x200;  // WC_COMPOSITECHECK

// Reads `src` in `code_page` into UTF-16 little-endian units at `dst`.
int multibyte_to_wide(int code_page, int flags, const char* src, int src_len,
                      std::uint8_t* dst, int dst_units);

// Writes the UTF-16 little-endian units at `src` in `code_page` to `dst`.
// With kCompositeCheck a base character followed by a combining mark becomes
// the precomposed character where one exists and the code page has it.
int wide_to_multibyte(int code_page, int flags, const std::uint8_t* src,
                      int src_units, char* dst, int dst_capacity);

}  // namespace quoril::codepage_backend

// Windows back end of the code-page conversion: MultiByteToWideChar and
// WideCharToMultiByte. Callers never touch a back end; codepage.cc is the
// only caller of this file.
#include <windows.h>

#include "encoding/codepage_backend.h"

namespace quoril::codepage_backend {
namespace {

// The program's text is code page 936 whatever the machine's own code page,
// so an English or Japanese Windows converts as a Chinese one does.
UINT windows_code_page(int code_page) {
  return code_page == 0 ? 936u : static_cast<UINT>(code_page);
}

}  // namespace

int multibyte_to_wide(int code_page, int flags, const char* src, int src_len,
                      std::uint8_t* dst, int dst_units) {
  if (dst_units < 0) return 0;
  // WCHAR is a UTF-16 little-endian unit; the area is aligned for it.
  const int n = MultiByteToWideChar(windows_code_page(code_page),
                                    static_cast<DWORD>(flags), src, src_len,
                                    reinterpret_cast<LPWSTR>(dst), dst_units);
  return n > 0 ? n : 0;  // 0: refused, or the area was too small
}

int wide_to_multibyte(int code_page, int flags, const std::uint8_t* src,
                      int src_units, char* dst, int dst_capacity) {
  if (dst_capacity < 0) return 0;
  const int n = WideCharToMultiByte(
      windows_code_page(code_page), static_cast<DWORD>(flags),
      reinterpret_cast<LPCWSTR>(src), src_units, dst, dst_capacity,
      /*lpDefaultChar=*/nullptr, /*lpUsedDefaultChar=*/nullptr);
  return n > 0 ? n : 0;
}

}  // namespace quoril::codepage_backend

// Linux back end of the code-page conversion: ICU. Code page 936 goes through
// ICU's windows-936-2000 table with Windows' best-fit mappings and '?' for a
// character the code page lacks; UTF-8 through ICU's UTF-8 string routines.
// Callers never touch a back end; codepage.cc is the only caller of this file.
#include <unicode/normalizer2.h>
#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <bit>
#include <bitset>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "encoding/codepage_backend.h"

static_assert(std::endian::native == std::endian::little,
              "wide text is UTF-16 little-endian, ICU writes native units");

namespace quoril::codepage_backend {
namespace {

constexpr int kUtf8 = 65001;

struct ConverterClose {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
struct SetClose {
  void operator()(USet* s) const { uset_close(s); }
};

// A code page's converter with the set of characters it writes as themselves
// or as a best fit.
struct CodePage {
  int number = -1;
  std::unique_ptr<UConverter, ConverterClose> converter;
  std::unique_ptr<USet, SetClose> mapped;
};

// The converter for `code_page` (0 and 936 are windows-936-2000), opened once
// per thread and kept while the thread asks for the same code page; null when
// ICU has no table for it.
UConverter* converter_for(int code_page, const USet** mapped = nullptr) {
  thread_local CodePage cached;
  if (code_page == 0) code_page = 936;
  if (cached.number != code_page) {
    cached = CodePage{};
    const std::string n = std::to_string(code_page);
    for (const std::string& name :
         {code_page == 936 ? std::string("windows-936-2000") : "windows-" + n,
          "cp" + n}) {
      UErrorCode err = U_ZERO_ERROR;
      cached.converter.reset(ucnv_open(name.c_str(), &err));
      if (U_SUCCESS(err)) break;
      cached.converter.reset();
    }
    if (!cached.converter) return nullptr;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setFallback(cached.converter.get(), true);
    ucnv_setSubstChars(cached.converter.get(), "?", 1, &err);
    cached.mapped.reset(uset_openEmpty());
    ucnv_getUnicodeSet(cached.converter.get(), cached.mapped.get(),
                       UCNV_ROUNDTRIP_AND_FALLBACK_SET, &err);
    if (U_FAILURE(err)) {
      cached = CodePage{};
      return nullptr;
    }
    cached.number = code_page;
  }
  if (mapped) *mapped = cached.mapped.get();
  return cached.converter.get();
}

// Units that can close a canonical composition pair: the second part of every
// two-part decomposition in the BMP. Anything else is never looked up.
const std::bitset<0x10000>& second_parts() {
  static const std::bitset<0x10000> parts = [] {
    std::bitset<0x10000> b;
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(err);
    if (U_FAILURE(err)) return b;
    for (UChar32 c = 0; c < 0x10000; ++c) {
      icu::UnicodeString d;
      if (U16_IS_SURROGATE(c) || !nfc->getRawDecomposition(c, d)) continue;
      const UChar32 first = d.char32At(0);
      const int32_t rest = d.moveIndex32(0, 1);
      if (rest < d.length() && d.moveIndex32(rest, 1) == d.length()) {
        const UChar32 second = d.char32At(rest);
        if (second < 0x10000 && first < 0x10000) b.set(static_cast<size_t>(second));
      }
    }
    return b;
  }();
  return parts;
}

// Where converted bytes go: the caller's area, or a scratch area that is only
// counted when measuring.
struct Sink {
  char* next;
  char* limit;
  char* start;
  bool measuring;
  long long flushed = 0;  // bytes counted before the scratch area was reused
  char scratch[4096];

  Sink(char* dst, int capacity)
      : next(dst), limit(dst + capacity), start(dst), measuring(capacity == 0) {
    if (measuring) next = start = scratch, limit = scratch + sizeof scratch;
  }
  long long total() const { return flushed + (next - start); }
};

// Feeds units [s, e) to the converter; false when the caller's area is full or
// the conversion failed.
bool put(UConverter* cnv, Sink& out, const UChar* s, const UChar* e,
         bool flush) {
  for (;;) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(cnv, &out.next, out.limit, &s, e, nullptr, flush, &err);
    if (err != U_BUFFER_OVERFLOW_ERROR) return U_SUCCESS(err);
    if (!out.measuring) return false;
    out.flushed += out.next - out.start;
    out.next = out.start;
  }
}

int to_int(long long n) { return n > 0 && n <= INT_MAX ? static_cast<int>(n) : 0; }

int utf16_length(const UChar* s) {
  int n = 0;
  while (s[n] != 0) ++n;
  return n + 1;
}

}  // namespace

int multibyte_to_wide(int code_page, int /*flags: reading is always lenient*/,
                      const char* src, int src_len, std::uint8_t* dst,
                      int dst_units) {
  if (src_len < 0) {
    const std::size_t n = std::strlen(src) + 1;  // the zero is read too
    if (n > INT_MAX) return 0;
    src_len = static_cast<int>(n);
  }
  if (src_len == 0 || dst_units < 0) return 0;
  UChar* out = dst_units == 0 ? nullptr : reinterpret_cast<UChar*>(dst);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = 0;
  if (code_page == kUtf8) {
    // An invalid sequence becomes U+FFFD and the reading goes on.
    u_strFromUTF8WithSub(out, dst_units, &n, src, src_len, 0xFFFD, nullptr,
                         &err);
  } else {
    UConverter* cnv = converter_for(code_page);
    if (!cnv) return 0;
    n = ucnv_toUChars(cnv, out, dst_units, src, src_len, &err);
  }
  if (err == U_BUFFER_OVERFLOW_ERROR) return dst_units == 0 ? n : 0;
  return U_SUCCESS(err) ? n : 0;
}

int wide_to_multibyte(int code_page, int flags, const std::uint8_t* src,
                      int src_units, char* dst, int dst_capacity) {
  const UChar* s = reinterpret_cast<const UChar*>(src);
  if (src_units < 0) src_units = utf16_length(s);
  if (src_units == 0 || dst_capacity < 0) return 0;
  if (code_page == kUtf8) {
    if (flags & kCompositeCheck) return 0;  // Windows refuses it for UTF-8 too
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    // A lone surrogate becomes U+FFFD.
    u_strToUTF8WithSub(dst_capacity == 0 ? nullptr : dst, dst_capacity, &n, s,
                       src_units, 0xFFFD, nullptr, &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) return dst_capacity == 0 ? n : 0;
    return U_SUCCESS(err) ? n : 0;
  }
  const USet* mapped = nullptr;
  UConverter* cnv = converter_for(code_page, &mapped);
  if (!cnv) return 0;
  ucnv_resetFromUnicode(cnv);
  Sink out(dst, dst_capacity);
  const UChar* e = s + src_units;
  const UChar* run = s;
  if (flags & kCompositeCheck) {
    // A base and a following mark go out as their precomposed character when
    // one exists and the code page writes it; the pair is then done.
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(err);
    const std::bitset<0x10000>& seconds = second_parts();
    for (const UChar* p = s; U_SUCCESS(err) && p + 1 < e; ++p) {
      if (!seconds[p[1]] || U16_IS_SURROGATE(p[0])) continue;
      const UChar32 c = nfc->composePair(p[0], p[1]);
      if (c < 0 || c > 0xFFFF || !uset_contains(mapped, c)) continue;
      const UChar composed = static_cast<UChar>(c);
      if (!put(cnv, out, run, p, false) ||
          !put(cnv, out, &composed, &composed + 1, false))
        return 0;
      run = ++p + 1;
    }
  }
  if (!put(cnv, out, run, e, true)) return 0;
  return to_int(out.total());
}

}  // namespace quoril::codepage_backend

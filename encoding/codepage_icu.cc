// Linux back end of the code-page conversion: ICU. Code page 936 goes through
// ICU's windows-936-2000 table with Windows' best-fit mappings and '?' for a
// character the code page lacks (never a control byte in its place); UTF-8
// through ICU's UTF-8 string routines.
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
#include <vector>

#include "encoding/codepage_backend.h"

static_assert(std::endian::native == std::endian::little,
              "wide text is UTF-16 little-endian, ICU writes native units");

namespace quoril::codepage_backend {
namespace {

constexpr int kGbk = 936;
constexpr int kUtf8 = 65001;

struct ConverterClose {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

// A converter that writes as Windows does: best-fit mappings on, '?' for a
// character the code page lacks. Null when ICU has no table for `code_page`.
Converter open_converter(int code_page) {
  const std::string n = std::to_string(code_page);
  for (const std::string& name :
       {code_page == kGbk ? std::string("windows-936-2000") : "windows-" + n,
        "cp" + n}) {
    UErrorCode err = U_ZERO_ERROR;
    Converter c(ucnv_open(name.c_str(), &err));
    if (U_FAILURE(err)) continue;
    ucnv_setFallback(c.get(), true);
    ucnv_setSubstChars(c.get(), "?", 1, &err);
    if (U_SUCCESS(err)) return c;
  }
  return nullptr;
}

// The converter for `code_page` (0 is 936), opened once per thread and kept
// while the thread asks for the same code page.
UConverter* converter_for(int code_page) {
  thread_local int cached_page = -1;
  thread_local Converter cached;
  if (code_page == 0) code_page = kGbk;
  if (cached_page != code_page) {
    cached = open_converter(code_page);
    cached_page = cached ? code_page : -1;
  }
  return cached.get();
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

  Sink(bool measure, char* dst, std::ptrdiff_t capacity)
      : next(dst), limit(dst + capacity), start(dst), measuring(measure) {
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

// Code page 936 written unit by unit from a table of what the ICU converter
// writes for each BMP character on its own (the code page is stateless and
// maps one character at a time). Surrogates still go through the converter.
struct GbkTable {
  // Per unit: the bytes in writing order (bits 0-15), their count (bits
  // 16-17: 0 for a default-ignorable character, which is dropped), and flags.
  static constexpr std::uint32_t kSurrogate = 1u << 18;
  static constexpr std::uint32_t kSecond = 1u << 19;  // closes a composition pair
  std::vector<std::uint32_t> entry = std::vector<std::uint32_t>(0x10000);
  std::bitset<0x10000> mapped;  // written as itself or as a best fit
  const icu::Normalizer2* nfc = nullptr;
  bool ok = false;
};

const GbkTable& gbk_table() {
  static const GbkTable table = [] {
    GbkTable t;
    Converter cnv = open_converter(kGbk);
    UErrorCode err = U_ZERO_ERROR;
    t.nfc = icu::Normalizer2::getNFCInstance(err);
    if (!cnv || U_FAILURE(err)) return t;

    // Every BMP character but the surrogates in one run; the offsets tell
    // which character wrote each byte.
    std::vector<UChar> units;
    for (UChar32 c = 0; c < 0x10000; ++c) {
      if (U16_IS_SURROGATE(c)) t.entry[c] = GbkTable::kSurrogate;
      else units.push_back(static_cast<UChar>(c));
    }
    std::vector<char> out(units.size() * 4);
    std::vector<int32_t> offsets(out.size());
    const UChar* s = units.data();
    char* o = out.data();
    ucnv_fromUnicode(cnv.get(), &o, out.data() + out.size(), &s,
                     units.data() + units.size(), offsets.data(), true, &err);
    if (U_FAILURE(err)) return t;
    for (std::ptrdiff_t j = 0; j < o - out.data(); ++j) {
      std::uint32_t& entry = t.entry[units[offsets[j]]];
      const std::uint32_t count = entry >> 16;
      if (count == 2) return t;  // not the one- or two-byte code page expected
      const std::uint32_t byte = static_cast<std::uint8_t>(out[j]);
      entry = (entry & 0xFFFF) | byte << (8 * count) | (count + 1) << 16;
    }
    // ICU falls back from a few halfwidth arrows and shapes (U+FFE9-U+FFEE)
    // to control bytes such as ESC and TAB; Windows writes '?', and so do we.
    for (const UChar c : units) {
      std::uint32_t& entry = t.entry[c];
      if (entry >> 16 == 1 && (entry & 0xFF) < 0x20 && (entry & 0xFF) != c)
        entry = '?' | 1u << 16;
    }

    std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(),
                                                     uset_close);
    ucnv_getUnicodeSet(cnv.get(), set.get(), UCNV_ROUNDTRIP_AND_FALLBACK_SET,
                       &err);
    if (U_FAILURE(err)) return t;
    for (UChar32 c = 0; c < 0x10000; ++c) {
      if (U16_IS_SURROGATE(c)) continue;
      t.mapped[c] = uset_contains(set.get(), c);
      icu::UnicodeString d;
      if (!t.nfc->getRawDecomposition(c, d) || d.countChar32() != 2) continue;
      const UChar32 second = d.char32At(d.moveIndex32(0, 1));
      if (d.char32At(0) < 0x10000 && second < 0x10000)
        t.entry[second] |= GbkTable::kSecond;
    }
    t.ok = true;
    return t;
  }();
  return table;
}

// Writes units [s, e) in code page 936 to [dst, dst + capacity), or only
// counts them when measuring; -1 when the area is too small or the
// converter failed.
template <bool kMeasuring>
long long write_gbk(const GbkTable& t, bool composite, const UChar* s,
                    const UChar* e, char* dst, int capacity) {
  const std::uint32_t* entry = t.entry.data();
  const std::uint32_t slow = GbkTable::kSurrogate;
  const std::uint32_t slow_next = composite ? GbkTable::kSecond : 0;
  char* o = dst;
  char* const limit = dst + capacity;
  long long counted = 0;
  // Writes one entry's bytes; false when they do not fit.
  auto emit = [&](std::uint32_t x) {
    const std::uint32_t n = x >> 16 & 3;
    if constexpr (kMeasuring) {
      counted += n;
    } else {
      if (limit - o < 2) {  // near the end: only the bytes that belong
        if (limit - o < static_cast<std::ptrdiff_t>(n)) return false;
        if (n > 0) o[0] = static_cast<char>(x);
        if (n > 1) o[1] = static_cast<char>(x >> 8);
      } else {
        o[0] = static_cast<char>(x), o[1] = static_cast<char>(x >> 8);
      }
      o += n;
    }
    return true;
  };
  const UChar* p = s;
  while (p < e) {
    const std::uint32_t x = entry[*p];
    const std::uint32_t next = p + 1 < e ? entry[p[1]] : 0;
    if (((x & slow) | (next & slow_next)) == 0) {
      if (!emit(x)) return -1;
      ++p;
      continue;
    }
    if (x & GbkTable::kSurrogate) {
      // A run of surrogates, paired or not, as the converter writes it.
      const UChar* run = p;
      while (p < e && U16_IS_SURROGATE(*p)) ++p;
      UConverter* cnv = converter_for(kGbk);
      if (!cnv) return -1;
      ucnv_resetFromUnicode(cnv);
      // With no room left, the run may still write nothing (a dropped
      // character), which ICU only tells when measuring.
      Sink out(kMeasuring || o == limit, o, limit - o);
      if (!put(cnv, out, run, p, true)) return -1;
      if (kMeasuring) counted += out.total();
      else if (out.measuring && out.total() > 0) return -1;
      else if (!out.measuring) o = out.next;
      continue;
    }
    // A base and a following mark go out as their precomposed character when
    // one exists and the code page writes it; the pair is then done.
    const UChar32 c = t.nfc->composePair(*p, p[1]);
    if (c >= 0 && c < 0x10000 && t.mapped[c]) {
      if (!emit(entry[c])) return -1;
      p += 2;
    } else {
      if (!emit(x)) return -1;
      ++p;
    }
  }
  return kMeasuring ? counted : o - dst;
}

int to_int(long long n) { return n > 0 && n <= INT_MAX ? static_cast<int>(n) : 0; }

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
    // An ill-formed sequence becomes U+FFFD and the reading goes on.
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
  if (src_units < 0) src_units = u_strlen(s) + 1;  // the zero unit is written too
  if (src_units == 0 || dst_capacity < 0) return 0;
  const bool measuring = dst_capacity == 0;
  if (code_page == kUtf8) {
    if (flags & kCompositeCheck) return 0;  // Windows refuses it for UTF-8 too
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    // A lone surrogate becomes U+FFFD.
    u_strToUTF8WithSub(measuring ? nullptr : dst, dst_capacity, &n, s,
                       src_units, 0xFFFD, nullptr, &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) return measuring ? n : 0;
    return U_SUCCESS(err) ? n : 0;
  }
  if (code_page == 0 || code_page == kGbk) {
    const GbkTable& table = gbk_table();
    if (!table.ok) return 0;  // ICU's data lacks the code page
    const bool composite = (flags & kCompositeCheck) != 0;
    return to_int(
        measuring
            ? write_gbk<true>(table, composite, s, s + src_units, nullptr, 0)
            : write_gbk<false>(table, composite, s, s + src_units, dst,
                               dst_capacity));
  }

  // Any other code page straight through its converter, without the
  // composite check.
  UConverter* cnv = converter_for(code_page);
  if (!cnv) return 0;
  ucnv_resetFromUnicode(cnv);
  Sink out(measuring, dst, dst_capacity);
  if (!put(cnv, out, s, s + src_units, true)) return 0;
  return to_int(out.total());
}

}  // namespace quoril::codepage_backend

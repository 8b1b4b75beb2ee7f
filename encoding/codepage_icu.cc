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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // 16-17: 0 for a default-ignorable character, which is dropped), and flags
  // far enough above it that the entries of a block, shifted down 16 bits,
  // add up to their counts in bits 0-7 and their surrogates in bits 8-13.
  static constexpr std::uint32_t kSurrogate = 1u << 24;
  static constexpr std::uint32_t kSecond = 1u << 30;  // closes a composition pair
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
  // One unit, or a run of surrogates, or a base and its mark, from `p`; the
  // position after them, or null when they do not fit or the converter failed.
  auto step = [&](const UChar* p) -> const UChar* {
    const std::uint32_t x = entry[*p];
    const std::uint32_t next = p + 1 < e ? entry[p[1]] : 0;
    if (((x & slow) | (next & slow_next)) == 0) return emit(x) ? p + 1 : nullptr;
    if (x & GbkTable::kSurrogate) {
      // A run of surrogates, paired or not, as the converter writes it.
      const UChar* run = p;
      while (p < e && U16_IS_SURROGATE(*p)) ++p;
      UConverter* cnv = converter_for(kGbk);
      if (!cnv) return nullptr;
      ucnv_resetFromUnicode(cnv);
      // With no room left, the run may still write nothing (a dropped
      // character), which ICU only tells when measuring.
      Sink out(kMeasuring || o == limit, o, limit - o);
      if (!put(cnv, out, run, p, true)) return nullptr;
      if (kMeasuring) counted += out.total();
      else if (out.measuring && out.total() > 0) return nullptr;
      else if (!out.measuring) o = out.next;
      return p;
    }
    // A base and a following mark go out as their precomposed character when
    // one exists and the code page writes it; the pair is then done.
    const UChar32 c = t.nfc->composePair(*p, p[1]);
    if (c >= 0 && c < 0x10000 && t.mapped[c])
      return emit(entry[c]) ? p + 2 : nullptr;
    return emit(x) ? p + 1 : nullptr;
  };
  const UChar* p = s;
  while (p < e) {
    // A block goes straight from the table when no unit in it is a surrogate
    // and none closes a pair (the unit after it is looked at too); otherwise
    // it goes step by step.
    constexpr std::ptrdiff_t kBlock = 32;
    const UChar* const q = e - p > kBlock ? p + kBlock : e;
    std::uint32_t seen = q < e ? entry[*q] : 0;
    if constexpr (kMeasuring) {
      std::uint64_t sum = 0;
      for (const UChar* r = p; r < q; ++r) sum += entry[*r] >> 16;
      if ((seen & slow_next) == 0 && (sum >> 8 & (composite ? ~0u : 0x3Fu)) == 0) {
        counted += static_cast<long long>(sum & 0xFF);
        p = q;
        continue;
      }
    } else if (limit - o >= 2 * kBlock) {
      char* w = o;  // o moves only when the whole block is plain
      for (const UChar* r = p; r < q; ++r) {
        const std::uint32_t x = entry[*r];
        seen |= x;
        w[0] = static_cast<char>(x), w[1] = static_cast<char>(x >> 8);
        w += x >> 16 & 3;
      }
      if ((seen & (slow | slow_next)) == 0) {
        o = w;
        p = q;
        continue;
      }
    }
    while (p < q)
      if ((p = step(p)) == nullptr) return -1;
  }
  return kMeasuring ? counted : o - dst;
}

constexpr long long kIllFormed = -1;  // ICU reads the call instead
constexpr long long kFull = -2;

#if defined(__SSE2__)
// The units well-formed UTF-8 [s, e) reads as, or kIllFormed; sixteen bytes
// at a time, each checked against the three before it: a byte is a
// continuation exactly where an earlier lead asks for one, no lead is C0, C1
// or above F4, and no second byte makes an overlong form, a surrogate or a
// character above U+10FFFF.
long long count_utf8(const unsigned char* s, const unsigned char* e) {
  const __m128i zero = _mm_setzero_si128();
  auto set = [](int byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
  auto at_least = [&](__m128i flipped, int byte) {  // bytes >= `byte`
    return _mm_cmpgt_epi8(flipped, set((byte - 1) ^ 0x80));
  };
  __m128i bad = zero;
  // Continuation bytes and four-byte leads, per byte lane for up to 255
  // blocks, then summed: the units are the bytes less the first plus the
  // second (the zeros around the edge blocks count as neither).
  __m128i conts = zero, fours = zero;
  long long units = e - s;
  int pending = 0;
  auto sum = [&] {
    const __m128i d = _mm_sub_epi64(_mm_sad_epu8(fours, zero),
                                    _mm_sad_epu8(conts, zero));
    units += _mm_cvtsi128_si32(d) + _mm_cvtsi128_si32(_mm_srli_si128(d, 8));
    conts = fours = zero;
    pending = 0;
  };
  // p[-3, 16) readable.
  auto block = [&](const unsigned char* p) {
    const __m128i flip = set(0x80);
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
    const __m128i f = _mm_xor_si128(c, flip);
    const __m128i f1 = _mm_xor_si128(p1, flip);
    const __m128i f2 = _mm_xor_si128(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 2)), flip);
    const __m128i f3 = _mm_xor_si128(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 3)), flip);
    const __m128i cont = _mm_cmplt_epi8(c, set(0xC0));  // 80-BF, signed
    const __m128i wanted = _mm_or_si128(
        at_least(f1, 0xC0), _mm_or_si128(at_least(f2, 0xE0), at_least(f3, 0xF0)));
    const __m128i four = at_least(f, 0xF0);
    __m128i b = _mm_xor_si128(cont, wanted);
    b = _mm_or_si128(b, at_least(f, 0xF5));
    b = _mm_or_si128(b, _mm_cmpeq_epi8(_mm_and_si128(c, set(0xFE)), set(0xC0)));
    // The second byte after E0, ED, F0 and F4 (a continuation by now).
    auto after = [&](int lead, __m128i second_bad) {
      return _mm_and_si128(_mm_cmpeq_epi8(p1, set(lead)), second_bad);
    };
    b = _mm_or_si128(b, after(0xE0, _mm_cmplt_epi8(c, set(0xA0))));
    b = _mm_or_si128(b, after(0xED, _mm_cmpgt_epi8(c, set(0x9F))));
    b = _mm_or_si128(b, after(0xF0, _mm_cmplt_epi8(c, set(0x90))));
    b = _mm_or_si128(b, after(0xF4, _mm_cmpgt_epi8(c, set(0x8F))));
    bad = _mm_or_si128(bad, b);
    conts = _mm_sub_epi8(conts, cont);
    fours = _mm_sub_epi8(fours, four);
    if (++pending == 255) sum();
  };
  // The first and last blocks from copies with ASCII zeros around them: the
  // zero after the end is no continuation, so a cut sequence shows.
  unsigned char edge[3 + 16 + 16] = {};
  const std::ptrdiff_t len = e - s;
  const unsigned char* p = s;
  if (len >= 16) {
    std::memcpy(edge + 3, s, 16);
    block(edge + 3);
    for (p = s + 16; e - p >= 16; p += 16) block(p);
  }
  std::memset(edge, 0, sizeof edge);
  const std::ptrdiff_t before = p - s < 3 ? p - s : 3;
  std::memcpy(edge + 3 - before, p - before, static_cast<std::size_t>(before + (e - p)));
  block(edge + 3);
  sum();
  return _mm_movemask_epi8(bad) == 0 ? units : kIllFormed;
}
#endif

int to_int(long long n) { return n > 0 && n <= INT_MAX ? static_cast<int>(n) : 0; }

// Four bytes, the low half of `x`, as four 16-bit units.
constexpr std::uint64_t spread(std::uint64_t x) {
  x = (x | x << 16) & 0x0000FFFF0000FFFFu;
  return (x | x << 8) & 0x00FF00FF00FF00FFu;
}

// Well-formed UTF-8 [s, e) as UTF-16 at [dst, dst + capacity): the units are
// the ones ICU gives, since ICU differs only where a sequence is ill-formed,
// and there this stops with kIllFormed. kFull when the area is too small.
long long read_utf8(const unsigned char* s, const unsigned char* e, UChar* dst,
                    int capacity) {
  const unsigned char* p = s;
  UChar* o = dst;
  UChar* const limit = dst + capacity;
  while (p < e) {
#if defined(__SSE2__)
    if (e - p >= 16 && limit - o >= 16) {
      // ASCII sixteen bytes at a time; all sixteen are widened, the ASCII
      // ones up to the first other byte are kept.
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(c));
      const int n = high ? std::countr_zero(high) : 16;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                       _mm_unpacklo_epi8(c, _mm_setzero_si128()));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8),
                       _mm_unpackhi_epi8(c, _mm_setzero_si128()));
      o += n;
      p += n;
      if (n == 16) continue;
    } else
#endif
    if (e - p >= 8 && limit - o >= 8) {
      // ASCII eight bytes at a time; all eight are widened, the ASCII ones up
      // to the first other byte are kept.
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      const std::uint64_t high = w & 0x8080808080808080u;
      const int n = high ? std::countr_zero(high) >> 3 : 8;
      const std::uint64_t units[2] = {spread(w & 0xFFFFFFFF), spread(w >> 32)};
      std::memcpy(o, units, 16);
      o += n;
      p += n;
      if (n == 8) continue;
    } else if (*p < 0x80) {
      if (o == limit) return kFull;
      *o++ = *p;
      ++p;
      continue;
    }
    // A run of other characters, one at a time.
    do {
      const unsigned b0 = *p;
      if (b0 < 0xE0) {
        if (e - p < 2 || b0 < 0xC2 || (p[1] ^ 0x80u) >= 0x40) return kIllFormed;
        if (o == limit) return kFull;
        *o++ = static_cast<UChar>((b0 & 0x1F) << 6 | (p[1] & 0x3F));
        p += 2;
      } else if (b0 < 0xF0) {
        if (e - p < 3) return kIllFormed;
        const unsigned c = (b0 & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3F);
        // Continuation bytes, no overlong form, no surrogate.
        if (((p[1] ^ 0x80u) | (p[2] ^ 0x80u)) >= 0x40 || c < 0x800 ||
            c - 0xD800 < 0x800)
          return kIllFormed;
        if (o == limit) return kFull;
        *o++ = static_cast<UChar>(c);
        p += 3;
      } else {
        if (e - p < 4) return kIllFormed;
        const std::uint32_t c = (b0 & 0x07) << 18 | (p[1] & 0x3Fu) << 12 |
                                (p[2] & 0x3Fu) << 6 | (p[3] & 0x3F);
        if (b0 > 0xF4 || ((p[1] ^ 0x80u) | (p[2] ^ 0x80u) | (p[3] ^ 0x80u)) >= 0x40 ||
            c < 0x10000 || c > 0x10FFFF)
          return kIllFormed;
        if (limit - o < 2) return kFull;
        o[0] = static_cast<UChar>(U16_LEAD(c));
        o[1] = static_cast<UChar>(U16_TRAIL(c));
        o += 2;
        p += 4;
      }
    } while (p < e && *p >= 0x80);
  }
  return o - dst;
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
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    long long fast = kIllFormed;
    if (out) fast = read_utf8(s, s + src_len, out, dst_units);
#if defined(__SSE2__)
    else fast = count_utf8(s, s + src_len);
#endif
    if (fast == kFull) return 0;
    if (fast != kIllFormed) return to_int(fast);
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

// Operations that look inside a Text: cutting, searching, case, spaces,
// replacing, splitting and numbers.
//
// Searching, trimming, replacing and splitting step by character units: a
// byte below 0x80 is a unit of one byte; a byte of 0x80 or above is a lead
// byte and forms a unit with the byte after it, whatever that byte is; a lead
// byte that is the last byte of the Text is a lone lead byte, a unit of one.
// Matches are tested only at the first byte of a unit. Cutting works on bytes.
// Spaces are the half-width 0x20 and the full-width unit A1 A1 only. Case
// folding touches the ASCII letters A-Z only.
#pragma once

#include <optional>

#include "text/text.h"

namespace quoril {

// The first min(n, len) bytes; empty for n < 1.
Text take_left(const Text& t, int n);

// The last min(n, len) bytes; empty for n < 1.
Text take_right(const Text& t, int n);

// Up to n bytes from the 1-based `start`; empty when start < 1, start > len
// or n < 1 (a start below 1 is not moved up).
Text take_middle(const Text& t, int start, int n);

// 1-based position of the first unit-aligned occurrence of `sub` at or after
// `start` (below 1 acts as 1), or -1. Units are counted from `start`. An empty
// `sub` gives 1 whenever the searched region holds a byte. With `ignore_case`
// A-Z fold byte by byte across the compared span, trail bytes included.
int find_first(const Text& t, const Text& sub, int start = 1,
               bool ignore_case = false);

// 1-based position of the last unit-aligned occurrence of `sub`, or -1. Units
// are counted from the first byte. With `start` given, the occurrence must end
// before byte position `start` (start <= 1 finds nothing).
int find_last(const Text& t, const Text& sub,
              std::optional<int> start = std::nullopt,
              bool ignore_case = false);

// A-Z lowered, walking by units: second bytes of two-byte units never change.
Text lower_ascii(const Text& t);

// Without half- and full-width spaces at both ends. A lone lead byte at the end
// is dropped, and spaces in front of it stay.
Text trim_spaces(const Text& t);

// Without any half- or full-width space unit; a lone lead byte at the end is
// dropped.
Text remove_spaces(const Text& t);

// `find` replaced by `replacement`, left to right without overlap, from the
// 1-based `start` on (below 1 acts as 1), at most `count` times: no limit when
// absent or below 0. Exact bytes when `case_sensitive`, A-Z folded otherwise.
// An empty t or find, count 0, or a start past the end gives an unchanged copy.
// Units are counted afresh after each match. A lone lead byte that the walk
// reaches (only possible with a one-byte find) is dropped.
Text replace_text(const Text& t, const Text& find, const Text& replacement = {},
                  int start = 1, std::optional<int> count = std::nullopt,
                  bool case_sensitive = false);

// Pieces between exact, unit-aligned occurrences of `separator`. Empty t gives
// no piece; empty separator gives t whole. A leading separator gives an empty
// first piece, a trailing one no empty last piece.
TextArray split_by(const Text& t, const Text& separator);

// Decimal value after optional white space and sign; full-width digits, signs
// and spaces count as their ASCII forms. No digits give 0; overflow wraps.
int parse_int(const Text& t);

// Upper-case hexadecimal of v taken as unsigned 32 bits, no leading zeros;
// 0 gives "0", -1 gives "FFFFFFFF".
Text hex_text(int v);

// Bitwise OR.
int bit_or(int a, int b);

}  // namespace quoril

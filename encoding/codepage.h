// Conversion between code page 936 (GBK), UTF-16 and UTF-8.
//
// Code pages go by their Windows numbers: 0 is the program's own code page,
// which is 936 on every machine (not the machine's code page), 936 is GBK,
// 65001 is UTF-8. Wide text is a Bytes of UTF-16 little-endian units; an odd
// last byte is ignored. No routine fails: undecodable input is replaced and the
// conversion goes on, a character that 936 lacks becomes its best fit or '?',
// and input the platform refuses as a whole gives an empty result.
#pragma once

#include "text/text.h"

namespace quoril {

// The text, read in `code_page`, as UTF-16 with one terminating zero unit;
// empty for the empty Text. Sized by that same reading, so every unit it
// gives is kept (a GBK text read as UTF-8 can give more units than as GBK).
Bytes ansi_to_wide(const Text& text, int code_page = 65001);

// The wide text, up to its first zero unit (or all of it), in `code_page`:
// exactly the converted bytes, however much longer than the GBK form.
Text wide_to_ansi(const Bytes& wide, int code_page = 0);

// The UTF-8 bytes of a GBK text.
Text ansi_to_utf8(const Text& text);

// UTF-8 as UTF-16, every byte counting (a zero byte is U+0000); no terminator.
Bytes utf8_to_wide(const Bytes& utf8);

// Wide text up to its first zero unit (or all of it) as GBK, a base letter and a
// following combining mark written as the precomposed character where one
// exists and 936 has it.
Text wide_to_gbk(const Bytes& wide);

// UTF-8 as GBK, ending where the input has its first zero byte.
Text utf8_to_ansi(const Bytes& utf8);

}  // namespace quoril

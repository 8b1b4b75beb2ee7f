// Base characters and combining marks whose pairs the code page 936 table
// records with and without the composite check, and a few whole sequences
// (surrogates, chains of marks). Shared by the Windows dump and the Linux
// comparison so both speak of the same inputs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quoril::cp936_table {

inline std::vector<std::uint16_t> pair_bases() {
  std::vector<std::uint16_t> b;
  for (std::uint16_t c = 'A'; c <= 'Z'; ++c) b.push_back(c);
  for (std::uint16_t c = 'a'; c <= 'z'; ++c) b.push_back(c);
  for (std::uint16_t c : std::initializer_list<std::uint16_t>{0x0020, 0x00C5, 0x00DC, 0x00E2, 0x00EA, 0x00FC,
                          0x0391, 0x03B1, 0x03B9, 0x03C5, 0x03C9, 0x0415,
                          0x0418, 0x0435, 0x0438, 0x0456, 0x1100, 0x304B,
                          0x306F, 0x30AB, 0x30CF, 0x4E2D, 0xAC00})
    b.push_back(c);
  return b;
}

inline std::vector<std::uint16_t> pair_marks() {
  std::vector<std::uint16_t> m;
  for (std::uint16_t c = 0x0300; c <= 0x036F; ++c) m.push_back(c);
  for (std::uint16_t c : std::initializer_list<std::uint16_t>{0x0483, 0x1161, 0x11A8, 0x20D7, 0x3099, 0x309A})
    m.push_back(c);
  return m;
}

inline std::vector<std::vector<std::uint16_t>> sequences() {
  return {
      {0xD83D, 0xDE00},          // U+1F600, a pair of surrogates
      {0xD800, 0x0041},          // a lone lead surrogate
      {0xDC00, 0x0041},          // a lone trail surrogate
      {0x0041, 0xD800},          // a lead surrogate at the end
      {0x0065, 0x0301, 0x0301},  // e, two acute accents
      {0x0065, 0x0301, 0x0302},  // e, acute, circumflex
      {0x00FC, 0x0301},          // u with diaeresis, acute
      {0x0075, 0x0308, 0x0301},  // u, diaeresis, acute
      {0x1100, 0x1161, 0x11A8},  // Hangul L V T
      {0x0301, 0x0065},          // a mark before its base
  };
}

}  // namespace quoril::cp936_table

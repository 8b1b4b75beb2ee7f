// Cutting a value out of a larger text by what surrounds it.
#pragma once

#include "text/text.h"

namespace quoril {

// The bytes strictly between the first `leading` at or after `start` (below 1
// acts as 1) and the first `trailing` after it; empty when either is missing.
// In both delimiters "#引号" (23 D2 FD BA C5) stands for a double quote. Without
// `case_sensitive`, A-Z in the delimiters match either case.
Text extract_between(const Text& text, const Text& leading,
                     const Text& trailing, int start = 1,
                     bool case_sensitive = false);

// The part of a header line after its first colon, without half- and
// full-width spaces at its ends; empty when the line has no colon.
Text text_after_colon(const Text& line);

}  // namespace quoril

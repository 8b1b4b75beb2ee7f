// Merging a stored cookie string with the cookies a response set, by name.
#pragma once

#include "text/text.h"

namespace quoril {

// Spaces are removed from both strings (written back at once). The result is
// the received pairs, then the stored pairs whose names were not received
// (first of each name), joined by "; ", without pairs ending in "=deleted".
// `stored` receives it; the return value is a copy.
Text merge_cookies(Text& stored, Text& received);

// The text before the pair's first "=" (the whole pair without one), trimmed.
Text cookie_name(const Text& pair);

// Whether some pair in `pairs` has exactly the name `name`.
bool cookie_listed(const TextArray& pairs, const Text& name);

}  // namespace quoril

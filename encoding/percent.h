// Percent-encoding, byte by byte.
#pragma once

#include "text/text.h"

namespace quoril {

// Every byte as "%" and two upper-case hex digits. With `keep_plain`, the
// bytes - . 0-9 A-Z a-z stay as they are. With `utf8_first`, the UTF-8 form
// of the text is encoded instead of its GBK bytes.
Text url_encode(const Text& text, bool keep_plain = false,
                bool utf8_first = false);

}  // namespace quoril

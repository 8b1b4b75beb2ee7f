// Cutting a value out of a larger text by what surrounds it.
#include "text/extract.h"

#include "text/text_ops.h"

namespace quoril {
namespace {

// "#引号" in a delimiter stands for a double quote.
Text unquote(const Text& delimiter) {
  static const Text kPlaceholder = "#\xD2\xFD\xBA\xC5";  // #引号
  return replace_text(delimiter, kPlaceholder, "\"", 1, std::nullopt, true);
}

}  // namespace

Text extract_between(const Text& text, const Text& leading, const Text& trailing,
                     int start, bool case_sensitive) {
  const Text lead = unquote(leading);
  const Text trail = unquote(trailing);
  const bool ignore = !case_sensitive;
  const int p = find_first(text, lead, start, ignore);
  if (p == -1) return {};
  const int d = p + text_len(lead);  // p + len <= len(text) + 1: no overflow
  const int c = find_first(text, trail, d, ignore);
  if (c == -1) return {};
  return take_middle(text, d, c - d);
}

Text text_after_colon(const Text& line) {
  const int p = find_first(line, ":");
  if (p == -1) return {};
  return trim_spaces(take_right(line, text_len(line) - p));
}

}  // namespace quoril

#include "http/cookies.h"

#include "text/text_ops.h"

namespace quoril {

Text merge_cookies(Text& stored, Text& received) {
  stored = remove_spaces(stored);
  received = remove_spaces(received);
  TextArray pairs = split_by(received, ";");
  // Stored pairs follow the received ones unless their name was received (or
  // already taken from an earlier stored pair).
  for (const Text& pair : split_by(stored, ";"))
    if (!cookie_listed(pairs, cookie_name(pair))) append_item(pairs, pair);
  Text merged;
  bool first = true;
  for (const Text& pair : pairs) {
    if (take_right(pair, 8) == "=deleted") continue;
    if (!first) merged += "; ";
    merged += pair;
    first = false;
  }
  stored = merged;
  return merged;
}

Text cookie_name(const Text& pair) {
  int p = find_first(pair, "=");
  return trim_spaces(p == -1 ? pair : take_left(pair, p - 1));
}

bool cookie_listed(const TextArray& pairs, const Text& name) {
  for (const Text& pair : pairs)
    if (text_cmp(cookie_name(pair), name) == 0) return true;
  return false;
}

}  // namespace quoril

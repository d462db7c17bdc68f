// Folding keys for comparison without regard to case, for every letter and
// not only the ASCII ones: a collection that holds "Übersicht" must find it
// as "übersicht" and refuse a second item under that key, as the platform's
// collections do. The table covers the alphabets with case (Latin, Greek,
// Cyrillic, Armenian, fullwidth Latin); it does not depend on the locale.
#include <cstdint>

#include "core/text.h"

namespace veldrane {

namespace {

// The simple lower-case of one code point.
char32_t LowerOf(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';
    if (c == 0x178) return 0xFF;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_pairs) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x180 && c <= 0x24F) {
    // Latin Extended-B: the regular pairs only.
    if ((c >= 0x1CD && c <= 0x1DC) ) return (c % 2 == 1) ? c + 1 : c;
    if ((c >= 0x1DE && c <= 0x1EF) || (c >= 0x1F8 && c <= 0x21F) || (c >= 0x222 && c <= 0x233) ||
        (c >= 0x246 && c <= 0x24F)) {
      return (c % 2 == 0) ? c + 1 : c;
    }
    return c;
  }
  if (c >= 0x370 && c <= 0x3FF) {
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x3D8 && c <= 0x3EF) return (c % 2 == 0) ? c + 1 : c;
    return c;
  }
  if (c >= 0x400 && c <= 0x4FF) {
    if (c <= 0x40F) return c + 80;
    if (c <= 0x42F) return c + 32;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) {
      return (c % 2 == 0) ? c + 1 : c;
    }
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 1) ? c + 1 : c;
    return c;
  }
  if (c >= 0x500 && c <= 0x52F) return (c % 2 == 0) ? c + 1 : c;
  if (c >= 0x531 && c <= 0x556) return c + 48;
  if (c >= 0x1E00 && c <= 0x1EFF) {
    if (c == 0x1E9E) return 0xDF;
    if (c >= 0x1E96 && c <= 0x1E9F) return c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
  return c;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  // Keys are nearly always plain ASCII (field names, step captions, looked
  // up for every record): those fold in one pass over one copy.
  std::string out(text);
  bool ascii = true;
  for (char& ch : out) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80) {
      ascii = false;
      break;
    }
    if (b >= 'A' && b <= 'Z') ch = static_cast<char>(b + 32);
  }
  if (ascii) return out;
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      out += text[i++];  // not UTF-8: the byte stands for itself
      continue;
    }
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    bool valid = true;
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += text[i++];
      continue;
    }
    AppendUtf8(out, LowerOf(c));
    i += length;
  }
  return out;
}

bool SameKey(std::string_view a, std::string_view b) { return IEquals(a, b) || FoldCase(a) == FoldCase(b); }

}  // namespace veldrane

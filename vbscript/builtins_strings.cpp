// String built-ins: character codes, slicing, case, trimming and repetition.
// The searching functions (InStr, InStrRev, Replace, StrComp) live in
// builtins_search.cpp and the byte-oriented ones (LenB, MidB, ...) in
// builtins_bytes.cpp; all of them are listed in this file's table.
#include <algorithm>

#include "vbscript/builtins_strings.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

// Windows-1252 code points for the bytes 0x80-0x9F (the rest of the code page
// is Latin-1). Undefined bytes map to the control character of the same value,
// as the system's conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromAnsi(int32_t code) {
  if (code >= 0x80 && code <= 0x9F) return kCp1252High[code - 0x80];
  return static_cast<char32_t>(code);
}

int32_t ToAnsi(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int32_t>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp) return 0x80 + i;
  }
  return '?';  // the code page's replacement for a character it cannot hold
}

// The first UTF-16 code unit of a character.
int32_t FirstUtf16Unit(char32_t cp) {
  if (cp < 0x10000) return static_cast<int32_t>(cp);
  return static_cast<int32_t>(0xD800 + ((cp - 0x10000) >> 10));
}

// The first character of a non-Null argument; an empty text raises 5.
char32_t FirstChar(Args args) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  TextArg text(v);
  if (text.view().empty()) throw VbError::InvalidCall();
  size_t i = 0;
  return DecodeAt(text.view(), i);
}

Variant Asc(BuiltinContext&, Args args) { return Variant(static_cast<int16_t>(ToAnsi(FirstChar(args)))); }

Variant AscW(BuiltinContext&, Args args) {
  // AscW is an Integer: units from 0x8000 up read as negative numbers.
  return Variant(static_cast<int16_t>(static_cast<uint16_t>(FirstUtf16Unit(FirstChar(args)))));
}

Variant AscB(BuiltinContext&, Args args) {
  return Variant(static_cast<int16_t>(FirstUtf16Unit(FirstChar(args)) & 0xFF));
}

std::string CharText(char32_t cp) {
  std::string out;
  AppendUtf8(out, cp);
  return out;
}

Variant Chr(BuiltinContext&, Args args) {
  int32_t code = LongArg(args, 0);
  if (code < 0 || code > 255) throw VbError::InvalidCall();
  return Variant(CharText(FromAnsi(code)));
}

Variant ChrW(BuiltinContext&, Args args) {
  int32_t code = LongArg(args, 0);
  if (code < -32768 || code > 65535) throw VbError::InvalidCall();
  if (code < 0) code += 65536;
  return Variant(CharText(static_cast<char32_t>(code)));
}

Variant ChrB(BuiltinContext&, Args args) {
  int32_t code = LongArg(args, 0);
  if (code < 0 || code > 255) throw VbError::InvalidCall();
  return Variant(CharText(static_cast<char32_t>(code)));
}

// Functions that give Null for a Null text and otherwise work on its CStr form.
template <class F>
Variant OnText(Args args, F f) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) return Variant::Null();
  TextArg text(v);
  return f(text.view());
}

Variant Len(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(static_cast<int32_t>(CharCount(s))); });
}

Variant LCase(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(LowerText(s)); });
}

Variant UCase(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(UpperText(s)); });
}

// A non-negative character count; Null raises 94, a negative count 5.
size_t CountArg(Args args, size_t i) {
  int32_t n = LongArg(args, i);
  if (n < 0) throw VbError::InvalidCall();
  return static_cast<size_t>(n);
}

Variant Left(BuiltinContext&, Args args) {
  size_t n = CountArg(args, 1);
  return OnText(args, [n](std::string_view s) { return Variant(SliceUnits(s, 0, n)); });
}

Variant Right(BuiltinContext&, Args args) {
  size_t n = CountArg(args, 1);
  return OnText(args, [n](std::string_view s) {
    size_t length = IsAscii(s) ? s.size() : CharCount(s);
    if (n >= length) return Variant(s);
    return Variant(SliceUnits(s, length - n, n));
  });
}

Variant Mid(BuiltinContext&, Args args) {
  int32_t start = LongArg(args, 1);
  if (start < 1) throw VbError::InvalidCall();
  bool has_length = Given(args, 2);
  size_t length = has_length ? CountArg(args, 2) : SIZE_MAX;
  return OnText(args, [&](std::string_view s) {
    return Variant(SliceUnits(s, static_cast<size_t>(start) - 1, length));
  });
}

// Only the blank (U+0020) is trimmed; tabs and line breaks stay.
std::string_view TrimLeft(std::string_view s) {
  size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}
std::string_view TrimRight(std::string_view s) {
  size_t i = s.find_last_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(0, i + 1);
}

Variant LTrim(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(TrimLeft(s)); });
}
Variant RTrim(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(TrimRight(s)); });
}
Variant Trim(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) { return Variant(TrimLeft(TrimRight(s))); });
}

Variant Space(BuiltinContext&, Args args) {
  size_t n = CountArg(args, 0);
  CheckStringSize(n);
  return Variant(std::string(n, ' '));
}

Variant String(BuiltinContext&, Args args) {
  size_t n = CountArg(args, 0);
  Variant holder;
  const Variant& c = ValueOf(args, 1, holder);
  if (c.IsNull()) return Variant::Null();
  std::string unit;
  if (c.IsString()) {
    if (c.AsString().empty()) throw VbError::InvalidCall();
    unit = c.AsString().substr(0, ByteOffset(c.AsString(), 1));
  } else {
    // A code above 255 wraps into the code page, as the platform documents.
    int32_t code = c.ToLong() % 256;
    if (code < 0) code += 256;
    unit = CharText(FromAnsi(code));
  }
  CheckStringSize(n * unit.size());
  std::string out;
  if (unit.size() == 1) return Variant(std::string(n, unit[0]));
  out.reserve(unit.size() * n);
  for (size_t i = 0; i < n; ++i) out += unit;
  return Variant(std::move(out));
}

Variant StrReverse(BuiltinContext&, Args args) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  TextArg text(v);
  std::string_view s = text.view();
  std::string out(s.rbegin(), s.rend());
  if (IsAscii(s)) return Variant(std::move(out));
  // Reversing the bytes reversed each multi-byte character too; put each
  // back in order.
  for (size_t i = 0; i < out.size();) {
    size_t j = i;
    while (j < out.size() && (static_cast<unsigned char>(out[j]) & 0xC0) == 0x80) ++j;
    if (j < out.size() && j > i) std::reverse(out.begin() + static_cast<ptrdiff_t>(i), out.begin() + static_cast<ptrdiff_t>(j) + 1);
    i = j + 1;
  }
  return Variant(std::move(out));
}

// JavaScript-style escaping: letters, digits and @*_+-./ are kept.
bool KeptByEscape(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         (c < 0x80 && std::string_view("@*_+-./").find(static_cast<char>(c)) != std::string_view::npos);
}

Variant Escape(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    auto unit = [&](uint32_t u) {
      if (u < 0x100) {
        out += '%';
        out += kHex[u >> 4];
        out += kHex[u & 15];
      } else {
        out += "%u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 15];
      }
    };
    for (size_t i = 0; i < s.size();) {
      char32_t c = DecodeAt(s, i);
      if (KeptByEscape(c)) {
        out += static_cast<char>(c);
      } else if (c >= 0x10000) {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        unit(c);
      }
    }
    return Variant(std::move(out));
  });
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `digits` hex digits at s[i], or -1.
int32_t HexAt(std::string_view s, size_t i, size_t digits) {
  if (i + digits > s.size()) return -1;
  int32_t v = 0;
  for (size_t k = 0; k < digits; ++k) {
    int d = HexDigit(s[i + k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

Variant Unescape(BuiltinContext&, Args args) {
  return OnText(args, [](std::string_view s) {
    std::string out;
    out.reserve(s.size());
    char32_t pending_high = 0;  // a high surrogate waiting for its partner
    auto emit = [&](char32_t c) {
      if (pending_high && c >= 0xDC00 && c <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((pending_high - 0xD800) << 10) + (c - 0xDC00));
        pending_high = 0;
        return;
      }
      if (pending_high) AppendUtf8(out, pending_high);
      pending_high = 0;
      if (c >= 0xD800 && c <= 0xDBFF) {
        pending_high = c;
      } else {
        AppendUtf8(out, c);
      }
    };
    for (size_t i = 0; i < s.size();) {
      int32_t v;
      if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'u' && (v = HexAt(s, i + 2, 4)) >= 0) {
        emit(static_cast<char32_t>(v));
        i += 6;
      } else if (s[i] == '%' && (v = HexAt(s, i + 1, 2)) >= 0) {
        emit(static_cast<char32_t>(v));
        i += 3;
      } else if (static_cast<unsigned char>(s[i]) < 0x80) {
        emit(static_cast<char32_t>(s[i]));
        ++i;
      } else {
        size_t start = i;
        DecodeAt(s, i);
        if (pending_high) AppendUtf8(out, pending_high);
        pending_high = 0;
        out.append(s.substr(start, i - start));
      }
    }
    if (pending_high) AppendUtf8(out, pending_high);
    return Variant(std::move(out));
  });
}

const BuiltinSpec kStringBuiltins[] = {
    {"Asc", Asc, 1, 1},
    {"AscB", AscB, 1, 1},
    {"AscW", AscW, 1, 1},
    {"Chr", Chr, 1, 1},
    {"ChrB", ChrB, 1, 1},
    {"ChrW", ChrW, 1, 1},
    {"Escape", Escape, 1, 1},
    {"InStr", InStr, 2, 4},
    {"InStrB", InStrB, 2, 4},
    {"InStrRev", InStrRev, 2, 4},
    {"LCase", LCase, 1, 1},
    {"Left", Left, 2, 2},
    {"LeftB", LeftB, 2, 2},
    {"Len", Len, 1, 1},
    {"LenB", LenB, 1, 1},
    {"LTrim", LTrim, 1, 1},
    {"Mid", Mid, 2, 3},
    {"MidB", MidB, 2, 3},
    {"Replace", Replace, 3, 6},
    {"Right", Right, 2, 2},
    {"RightB", RightB, 2, 2},
    {"RTrim", RTrim, 1, 1},
    {"Space", Space, 1, 1},
    {"StrComp", StrComp, 2, 3},
    {"String", String, 2, 2},
    {"StrReverse", StrReverse, 1, 1},
    {"Trim", Trim, 1, 1},
    {"UCase", UCase, 1, 1},
    {"Unescape", Unescape, 1, 1},
};

}  // namespace

std::span<const BuiltinSpec> StringBuiltins() { return kStringBuiltins; }

}  // namespace veldrane::vbs

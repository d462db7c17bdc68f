// Text helpers shared by every subsystem: case-insensitive comparison of
// names and keys (collection keys, member names, captions), the way the
// platform compares them, and UTF-8 aware character counting.
//
// Names (members, captions, fields) fold ASCII case only: they are
// identifiers. Keys of collections (connection and formula names) are what
// users type, in any alphabet, and fold every letter, by a fixed table that
// does not depend on the machine's locale.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace veldrane {

// Lower-cases ASCII letters; other bytes are kept.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// True when the two texts are equal ignoring ASCII case.
bool IEquals(std::string_view a, std::string_view b);

// `text` with every letter that has case in its lower-case form (UTF-8);
// bytes that are not UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);
// True when two keys are equal ignoring the case of any letter.
bool SameKey(std::string_view a, std::string_view b);

// Case-insensitive ordering and hashing, for maps keyed by names.
struct ILess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
struct IHash {
  size_t operator()(std::string_view text) const;
};
struct IEqual {
  bool operator()(std::string_view a, std::string_view b) const { return IEquals(a, b); }
};

// True when `text` contains `part` (exact case).
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Appends code point `cp` encoded in UTF-8; a lone surrogate becomes three
// bytes, as UTF-16 text that holds one keeps it.
void AppendUtf8(std::string& out, char32_t cp);

// A hash for maps keyed by text that are searched with a string_view, so
// that a look-up makes no string: unordered_map<std::string, T, TextHash,
// std::equal_to<>>.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// Replaces every occurrence of `from` (non-empty) by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace veldrane

// Text prepared for searching under a compare mode, shared by the string
// and array built-ins (InStr, Replace, Split, Filter).
#pragma once

#include <string>
#include <string_view>

namespace veldrane::vbs {

// A text as searched: itself in binary mode, its case fold in text mode.
// Offsets found in view() are offsets in the original text.
class SearchText {
 public:
  SearchText(std::string_view text, bool text_mode);
  SearchText(const SearchText&) = delete;  // view_ may point into folded_
  SearchText& operator=(const SearchText&) = delete;
  // The text to search in (or for); valid while the original text lives.
  std::string_view view() const { return view_; }

 private:
  static bool IsAsciiLower(std::string_view s);

  std::string folded_;    // the case fold, when one was needed
  std::string_view view_;  // folded_ or the original
};

}  // namespace veldrane::vbs

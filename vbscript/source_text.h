// A piece of script text as the engine keeps it for error reports: the lines
// of one AddCode, Eval, Execute or runner file, so that an error raised long
// after compiling (a Main called by a later Eval) can still quote its line.
//
// Line breaks are CR LF, LF or a lone CR: the formula bridge joins its lines
// with a bare carriage return.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veldrane::vbs {

class SourceText {
 public:
  explicit SourceText(std::string_view text);

  // The text of a 1-based line without its line break ("" outside the text).
  std::string Line(int line) const;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::vector<size_t> line_starts_;  // byte offset of each line's first character
};

using SourceRef = std::shared_ptr<const SourceText>;

// A place in a source text: 1-based line and column (columns count bytes).
struct Pos {
  int line = 0;
  int col = 0;
};

}  // namespace veldrane::vbs

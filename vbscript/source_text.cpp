#include "vbscript/source_text.h"

namespace veldrane::vbs {

SourceText::SourceText(std::string_view text) : text_(text) {
  line_starts_.push_back(0);
  for (size_t i = 0; i < text_.size(); ++i) {
    char c = text_[i];
    if (c == '\r') {
      if (i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
      line_starts_.push_back(i + 1);
    } else if (c == '\n') {
      line_starts_.push_back(i + 1);
    }
  }
}

std::string SourceText::Line(int line) const {
  if (line < 1 || static_cast<size_t>(line) > line_starts_.size()) return std::string();
  size_t start = line_starts_[static_cast<size_t>(line - 1)];
  size_t end = start;
  while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
  return text_.substr(start, end - start);
}

}  // namespace veldrane::vbs

#include "platform/db/target_select.h"

#include "core/text.h"

namespace veldrane::ado {

namespace {

constexpr const char* kNoRow = " WHERE 1 = 2";

std::string Build(const TargetSelect& s, const std::vector<std::string>* literals) {
  std::string text = "SELECT * FROM " + s.table;
  if (!s.Keyed()) return text + kNoRow;
  for (size_t i = 0; i < s.key_columns.size(); ++i) {
    text += i == 0 ? " WHERE " : " AND ";
    text += s.key_columns[i];
    if (literals) {
      text += " = '" + ReplaceAll((*literals)[i], "'", "''") + "'";
    } else {
      text += " = ?";
    }
  }
  return text;
}

}  // namespace

const std::string& TargetSelect::Marked() const {
  if (!marked_) marked_ = std::make_shared<const std::string>(Build(*this, nullptr));
  return *marked_;
}

std::string TargetSelect::Text() const {
  std::vector<std::string> literals;
  TextValues(literals);
  return Build(*this, &literals);
}

void TargetSelect::TextValues(std::vector<std::string>& out) const {
  out.resize(key_values.size());
  for (size_t i = 0; i < key_values.size(); ++i) {
    const Variant& v = key_values[i];
    if (v.IsString()) {
      out[i].assign(v.AsString());
    } else {
      out[i] = v.ToString();
    }
  }
}

bool TargetSelect::Same(const TargetSelect& other) const {
  if (table != other.table || key_columns != other.key_columns || key_values.size() != other.key_values.size()) {
    return false;
  }
  for (size_t i = 0; i < key_values.size(); ++i) {
    if (key_values[i].ToString() != other.key_values[i].ToString()) return false;
  }
  return true;
}

std::shared_ptr<TargetSelect> TargetSelect::Next(std::vector<Variant> values) const {
  auto next = std::make_shared<TargetSelect>();
  next->table = table;
  next->key_columns = key_columns;
  next->key_values = std::move(values);
  next->marked_ = marked_;
  return next;
}

std::shared_ptr<TargetSelect> SelectNoRow(std::string table) {
  auto none = std::make_shared<TargetSelect>();
  none->table = std::move(table);
  return none;
}

}  // namespace veldrane::ado

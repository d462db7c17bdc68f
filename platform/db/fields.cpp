#include "core/object.h"
#include "core/text.h"
#include "platform/db/ado.h"
#include "platform/db/field_values.h"
#include "platform/db/recordset_state.h"

namespace veldrane::ado {

namespace {

[[noreturn]] void Raise(int32_t number, std::string description = {}) {
  throw VbError(number, std::move(description), "ADODB");
}

bool IsFixedSizeType(int32_t type) {
  switch (type) {
    case adSmallInt: case adInteger: case adSingle: case adDouble: case adCurrency: case adDate: case adBoolean:
    case adDecimal: case adTinyInt: case adBigInt: case adNumeric: case adDBDate: case adDBTime: case adDBTimeStamp:
    case adChar: case adWChar: case adBinary:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---- Field ----

Field::Field(std::shared_ptr<RecordsetState> state, int32_t index) : state_(std::move(state)), index_(index) {}

namespace {
const ColumnInfo& ColumnOf(const RecordsetState& s, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= s.columns.size() || (s.open && index >= s.visible)) {
    Raise(vberr::kItemNotFound);
  }
  return s.columns[static_cast<size_t>(index)];
}
}  // namespace

std::string Field::Name() const { return ColumnOf(*state_, index_).name; }
int32_t Field::Type() const { return ColumnOf(*state_, index_).type; }
int32_t Field::DefinedSize() const { return ColumnOf(*state_, index_).defined_size; }
int32_t Field::Precision() const { return ColumnOf(*state_, index_).precision; }
int32_t Field::NumericScale() const { return ColumnOf(*state_, index_).scale; }

Variant Field::Value() const {
  const RecordsetState& s = *state_;
  if (!s.open) Raise(vberr::kObjectClosed);
  if (index_ >= s.visible) Raise(vberr::kItemNotFound);
  if (s.edit_mode == adEditInProgress || s.edit_mode == adEditAdd) return s.edit_values[static_cast<size_t>(index_)];
  const Variant* row = s.CurrentRow();
  if (!row) Raise(vberr::kNoCurrentRecord);
  return row[index_];
}

void Field::SetValue(const Variant& value) {
  RecordsetState& s = *state_;
  if (!s.open) Raise(vberr::kObjectClosed);
  if (index_ >= s.visible) Raise(vberr::kItemNotFound);
  const Variant* row = s.adding ? nullptr : s.CurrentRow();
  if (!s.adding && !row) Raise(vberr::kNoCurrentRecord);
  if (s.read_only) Raise(vberr::kUpdateNotSupported);
  const ColumnInfo& column = s.columns[static_cast<size_t>(index_)];
  if (s.source_kind == RowSource::Database) {
    if (s.target.table.empty()) {
      Raise(vberr::kUpdateNotSupported,
            VbError::StandardDescription(vberr::kUpdateNotSupported) + " (The rows cannot be written back: " +
                s.target.refusal + ".)");
    }
    if (!column.writable) {
      Raise(vberr::kUpdateNotSupported, "Field '" + column.name +
                                            "' is not a column of the table " + s.target.table +
                                            " and cannot be written back.");
    }
  }
  Variant coerced = CoerceToField(column, value, s.source_kind == RowSource::Client);
  if (s.edit_mode == adEditNone) {
    s.edit_values.assign(row, row + s.columns.size());
    s.assigned.assign(s.edit_values.size(), false);
    s.edit_mode = adEditInProgress;
  }
  s.edit_values[static_cast<size_t>(index_)] = std::move(coerced);
  s.assigned[static_cast<size_t>(index_)] = true;
}

Variant Field::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Field> table = [] {
    MemberTable<Field> t;
    auto get = [](Field& f) { return f.Value(); };
    auto let = [](Field& f, const Variant& v) { f.SetValue(v); };
    t.Property("Value", get, let);
    t.Property("", get, let);
    t.Property("Name", [](Field& f) { return Variant(f.Name()); });
    t.Property("Type", [](Field& f) { return Variant(f.Type()); });
    t.Property("DefinedSize", [](Field& f) { return Variant(f.DefinedSize()); });
    t.Property("Precision", [](Field& f) { return Variant(static_cast<uint8_t>(f.Precision())); });
    t.Property("NumericScale", [](Field& f) { return Variant(static_cast<uint8_t>(f.NumericScale())); });
    t.Property("ActualSize", [](Field& f) {
      Variant v = f.Value();
      if (v.IsNull()) return Variant(int32_t{0});
      return Variant(static_cast<int32_t>(v.IsArray() ? v.AsArray()->items().size() : v.ToString().size()));
    });
    t.Property("Attributes", [](Field& f) {
      const ColumnInfo& c = ColumnOf(*f.state_, f.index_);
      int32_t a = 0;
      if (c.writable) a |= 0x4;
      if (c.fixed_length || IsFixedSizeType(c.type)) a |= 0x10;
      if (c.nullable) a |= 0x20 | 0x40;
      if (c.is_long) a |= 0x80;
      if (c.key) a |= 0x8000;
      return Variant(a);
    });
    t.Property("OriginalValue", [](Field& f) {
      const Variant* row = f.state_->CurrentRow();
      if (!row) Raise(vberr::kNoCurrentRecord);
      return row[f.index_];
    });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

// ---- Fields ----

Fields::Fields(std::shared_ptr<RecordsetState> state) : state_(std::move(state)) {}

Field& Fields::At(int32_t index) {
  auto& slot = items_[static_cast<size_t>(index)];
  if (!slot) slot = std::make_shared<Field>(state_, index);
  return *slot;
}

int32_t Fields::Count() const {
  return state_->open ? state_->visible : static_cast<int32_t>(state_->columns.size());
}

void Fields::Refresh() {
  // Field objects are kept by position, so references taken earlier stay valid.
  size_t count = static_cast<size_t>(Count());
  // Field objects are made when first asked for: a recordset re-opened per
  // record usually touches one or two of its fields.
  items_.resize(count);
}

bool Fields::Unshared() const {
  long held = 0;
  for (const auto& item : items_) {
    if (!item) continue;
    if (item.use_count() != 1) return false;
    ++held;
  }
  // The state is held by the recordset, these fields and each Field made.
  return state_.use_count() == 2 + held;
}

Field& Fields::Item(std::string_view name) {
  if (static_cast<int32_t>(items_.size()) != Count()) Refresh();
  // The names asked for, as they were written, and the column each found:
  // a run asks for the same few names of the same columns for every record.
  if (found_version_ != state_->columns_version) {
    found_.clear();
    found_version_ = state_->columns_version;
  }
  for (const auto& [given, index] : found_) {
    if (given == name && index < Count()) return At(index);
  }
  for (int32_t i = 0; i < Count(); ++i) {
    if (IEquals(state_->columns[static_cast<size_t>(i)].name, name)) {
      if (found_.size() < kFoundLimit) found_.emplace_back(std::string(name), i);
      return At(i);
    }
  }
  Raise(vberr::kItemNotFound, VbError::StandardDescription(vberr::kItemNotFound) + " (Field '" + std::string(name) + "')");
}

Field& Fields::Item(const Variant& name_or_index0) {
  // Numbers and names are taken as they are; only an object is resolved first.
  const Variant::Storage& given = name_or_index0.storage();
  if (const auto* text = std::get_if<std::string>(&given)) return Item(std::string_view(*text));
  const auto* as_long = std::get_if<int32_t>(&given);
  const auto* as_integer = std::get_if<int16_t>(&given);
  if (as_long || as_integer) {
    int32_t index = as_long ? *as_long : *as_integer;
    int32_t count = Count();
    if (static_cast<int32_t>(items_.size()) != count) Refresh();
    if (index >= 0 && index < count) return At(index);
  }
  Variant key = name_or_index0.Resolved();
  if (key.IsString()) return Item(std::string_view(key.AsString()));
  if (!key.IsNumber()) Raise(vberr::kItemNotFound);
  if (static_cast<int32_t>(items_.size()) != Count()) Refresh();
  int32_t index = key.ToLong();
  if (index < 0 || index >= Count()) {
    Raise(vberr::kItemNotFound, VbError::StandardDescription(vberr::kItemNotFound) + " (Field " + std::to_string(index) + ")");
  }
  return At(index);
}

void Fields::Append(std::string_view name, int32_t type, int32_t defined_size, int32_t attributes) {
  if (state_->open) Raise(vberr::kObjectOpen);
  if (name.empty() || !IsKnownDataType(type) || type == adEmpty) {
    Raise(vberr::kArgumentsWrongType, VbError::StandardDescription(vberr::kArgumentsWrongType) + " (Field '" +
                                          std::string(name) + "', type " + std::to_string(type) + ")");
  }
  for (const ColumnInfo& c : state_->columns) {
    if (IEquals(c.name, name)) {
      Raise(vberr::kArgumentsWrongType,
            VbError::StandardDescription(vberr::kArgumentsWrongType) + " (Field '" + std::string(name) + "' is already appended)");
    }
  }
  ColumnInfo c;
  c.name = std::string(name);
  c.type = type;
  c.defined_size = defined_size;
  c.fixed_length = IsFixedSizeType(type);
  c.nullable = attributes == adFldUnspecified || (attributes & (0x20 | 0x40)) != 0;
  c.is_long = attributes != adFldUnspecified && (attributes & 0x80) != 0;
  c.writable = true;
  state_->columns.push_back(std::move(c));
  state_->columns_origin.reset();
  ++state_->columns_version;
  Refresh();
}

Variant Fields::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Fields> table = [] {
    MemberTable<Fields> t;
    t.Property("Count", [](Fields& f) { return Variant(f.Count()); });
    auto item = [](Fields& f, InvokeKind k, Args a) -> Variant {
      if (a.empty()) throw VbError::WrongArgumentCount();
      Field& field = f.Item(a[0]);
      if (k == InvokeKind::Let) {  // rs.Fields("F") = v assigns the value
        ExpectArgs(a, 2, 2);
        field.SetValue(a[1]);
        return Variant();
      }
      ExpectArgs(a, 1, 1);
      return Variant(field.shared_from_this());
    };
    t.Add("Item", item);
    t.Add("", item);
    t.Add("Append", [](Fields& f, InvokeKind, Args a) {
      ExpectArgs(a, 2, 5);
      static const Variant none;
      f.Append(a[0].ToText(), a[1].ToLong(), ArgOr(a, 2, none).IsEmpty() ? 0 : a[2].ToLong(),
               ArgOr(a, 3, none).IsEmpty() ? -1 : a[3].ToLong());
      return Variant();
    });
    t.Add("Refresh", [](Fields& f, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      f.Refresh();
      return Variant();
    });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

std::vector<Variant> Fields::Enumerate() {
  if (static_cast<int32_t>(items_.size()) != Count()) Refresh();
  std::vector<Variant> out;
  for (int32_t i = 0; i < Count(); ++i) out.emplace_back(At(i).shared_from_this());
  return out;
}

}  // namespace veldrane::ado

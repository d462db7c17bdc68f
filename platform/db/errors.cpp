#include "core/object.h"
#include "platform/db/ado.h"

namespace veldrane::ado {

Error::Error(int32_t number, std::string description, std::string source, std::string sql_state)
    : number_(number), description_(std::move(description)), source_(std::move(source)), sql_state_(std::move(sql_state)) {}

Variant Error::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Error> table = [] {
    MemberTable<Error> t;
    t.Property("Number", [](Error& e) { return Variant(e.Number()); });
    t.Property("Description", [](Error& e) { return Variant(e.Description()); });
    t.Property("", [](Error& e) { return Variant(e.Description()); });
    t.Property("Source", [](Error& e) { return Variant(e.Source()); });
    t.Property("SQLState", [](Error& e) { return Variant(e.SQLState()); });
    t.Property("NativeError", [](Error&) { return Variant(int32_t{0}); });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

const Error& Errors::Item(int32_t index0) const {
  if (index0 < 0 || index0 >= Count()) throw VbError(vberr::kItemNotFound, {}, "ADODB");
  return *items_[static_cast<size_t>(index0)];
}

void Errors::Add(const VbError& error, std::string sql_state) {
  items_.push_back(std::make_shared<Error>(error.number(), error.description(), error.source(), std::move(sql_state)));
}

void Errors::Replace(const VbError& error, std::string sql_state) {
  items_.clear();
  Add(error, std::move(sql_state));
}

Variant Errors::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Errors> table = [] {
    MemberTable<Errors> t;
    t.Property("Count", [](Errors& e) { return Variant(e.Count()); });
    auto item = [](Errors& e, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("Item");
      ExpectArgs(a, 1, 1);
      e.Item(e.Count() == 0 ? -1 : a[0].ToLong());
      return Variant(e.items_[static_cast<size_t>(a[0].ToLong())]->shared_from_this());
    };
    t.Add("Item", item);
    t.Add("", item);
    t.Add("Clear", [](Errors& e, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      e.Clear();
      return Variant();
    });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

std::vector<Variant> Errors::Enumerate() {
  std::vector<Variant> out;
  for (auto& e : items_) out.emplace_back(ObjectRef(e));
  return out;
}

}  // namespace veldrane::ado

// The script face of Recordset: members by ADO's names, with Fields.Item as
// the default member so that formulas can write rs("F") and rs("F") = v.
#include "core/object.h"
#include "platform/db/ado.h"
#include "platform/db/recordset_state.h"

namespace veldrane::ado {

namespace {

Variant Nothing() { return Variant::Nothing(); }

int32_t OptionalLong(Args a, size_t i, int32_t fallback) {
  return i < a.size() && !a[i].IsEmpty() && !a[i].IsNull() ? a[i].ToLong() : fallback;
}

// AddNew and Update take an optional field list and value list (arrays, or
// one name and one value).
void AssignLists(Recordset& rs, Args a) {
  if (a.empty()) return;
  if (a.size() != 2) throw VbError::WrongArgumentCount();
  Variant names = a[0], values = a[1];
  if (names.IsArray() != values.IsArray()) throw VbError(vberr::kArgumentsWrongType, {}, "ADODB");
  if (!names.IsArray()) {
    rs.GetFields().Item(names).SetValue(values);
    return;
  }
  const auto& n = names.AsArray()->items();
  const auto& v = values.AsArray()->items();
  if (n.size() != v.size()) throw VbError(vberr::kArgumentsWrongType, {}, "ADODB");
  for (size_t i = 0; i < n.size(); ++i) rs.GetFields().Item(n[i]).SetValue(v[i]);
}

}  // namespace

Variant Recordset::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Recordset> table = [] {
    MemberTable<Recordset> t;
    auto method = [&t](std::string_view n, size_t min, size_t max, std::function<Variant(Recordset&, Args)> f) {
      t.Add(n, [min, max, f = std::move(f)](Recordset& rs, InvokeKind, Args a) {
        ExpectArgs(a, min, max);
        return f(rs, a);
      });
    };
    method("Open", 0, 5, [](Recordset& rs, Args a) {
      static const Variant none;
      rs.Open(ArgOr(a, 0, none), ArgOr(a, 1, none), OptionalLong(a, 2, -1), OptionalLong(a, 3, -1),
              OptionalLong(a, 4, -1));
      return Variant();
    });
    method("Close", 0, 0, [](Recordset& rs, Args) { rs.Close(); return Variant(); });
    method("MoveFirst", 0, 0, [](Recordset& rs, Args) { rs.MoveFirst(); return Variant(); });
    method("MoveNext", 0, 0, [](Recordset& rs, Args) { rs.MoveNext(); return Variant(); });
    method("MovePrevious", 0, 0, [](Recordset& rs, Args) { rs.MovePrevious(); return Variant(); });
    method("MoveLast", 0, 0, [](Recordset& rs, Args) { rs.MoveLast(); return Variant(); });
    method("AddNew", 0, 2, [](Recordset& rs, Args a) {
      rs.AddNew();
      if (!a.empty()) {
        AssignLists(rs, a);
        rs.Update();
      }
      return Variant();
    });
    method("Update", 0, 2, [](Recordset& rs, Args a) {
      AssignLists(rs, a);
      rs.Update();
      return Variant();
    });
    method("CancelUpdate", 0, 0, [](Recordset& rs, Args) { rs.CancelUpdate(); return Variant(); });
    method("Delete", 0, 1, [](Recordset& rs, Args a) { rs.Delete(OptionalLong(a, 0, adAffectCurrent)); return Variant(); });
    method("Save", 0, 2, [](Recordset& rs, Args a) {
      static const Variant none;
      rs.Save(ArgOr(a, 0, none).ToText(), OptionalLong(a, 1, adPersistXML));
      return Variant();
    });
    t.Property("State", [](Recordset& rs) { return Variant(rs.State()); });
    t.Property("EOF", [](Recordset& rs) { return Variant(rs.IsEOF()); });
    t.Property("BOF", [](Recordset& rs) { return Variant(rs.IsBOF()); });
    t.Property("RecordCount", [](Recordset& rs) { return Variant(rs.RecordCount()); });
    t.Property("EditMode", [](Recordset& rs) { return Variant(rs.EditMode()); });
    t.Property("CursorType", [](Recordset& rs) { return Variant(rs.CursorType()); });
    t.Property("LockType", [](Recordset& rs) { return Variant(rs.LockType()); });
    t.Property("Source", [](Recordset& rs) { return Variant(rs.Source()); });
    t.Property("Fields", [](Recordset& rs) { return Variant(rs.GetFields().shared_from_this()); });
    t.Property("ActiveConnection", [](Recordset& rs) {
      return rs.state_->connection ? Variant(ObjectRef(rs.state_->connection)) : Nothing();
    });
    t.Property(
        "CursorLocation", [](Recordset& rs) { return Variant(rs.CursorLocation()); },
        [](Recordset& rs, const Variant& v) { rs.SetCursorLocation(v.ToLong()); });
    t.Add("", [](Recordset& rs, InvokeKind k, Args a) -> Variant {
      if (a.empty()) {
        if (k != InvokeKind::Get) throw VbError::NotSupported("Fields");
        return Variant(rs.GetFields().shared_from_this());
      }
      return rs.GetFields().Invoke("Item", k, a);
    });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

}  // namespace veldrane::ado

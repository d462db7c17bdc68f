#include "model/c_shape.h"

#include "platform/db/ado.h"

namespace veldrane {

std::shared_ptr<ado::Connection> cShape::cnSource() {
  if (!cn_source_) cn_source_ = ado::Connection::Create();
  return cn_source_;
}

void cShape::cnSource(std::shared_ptr<ado::Connection> connection) {
  // A TARGET step's rows write through the connection they were opened on:
  // on a new connection they are opened again. (A SOURCE step keeps the
  // rows it is reading.)
  if (connection != cn_source_ && objType == aStorage && attachment_) attachment_->ConnectionChanged();
  cn_source_ = std::move(connection);
}

void cShape::DebugMode(bool value) {
  if (value == debug_mode_) return;
  // The flag changes only once the database has done its part: a failed
  // BeginTrans must not leave a step that believes it will roll back.
  if (value) {
    cnSource()->BeginTrans();
  } else {
    cnSource()->RollbackTrans();
  }
  debug_mode_ = value;
}

float cShape::X() const { return objShape ? objShape->Left() : x_; }
float cShape::Y() const { return objShape ? objShape->Top() : y_; }

void cShape::SetPosition(float x, float y) {
  x_ = x;
  y_ = y;
  if (objShape) {
    objShape->setLeft(x);
    objShape->setTop(y);
  }
}


MemberTable<cShape>& cShape::Members() {
  static MemberTable<cShape> table = [] {
    MemberTable<cShape> members;
    auto* t = &members;
    t->Property(
        "sCaption", [](cShape& s) { return Variant(s.sCaption()); },
        [](cShape& s, const Variant& v) { s.sCaption(v.ToString()); });
    t->Property(
        "DebugMode", [](cShape& s) { return Variant(s.DebugMode()); },
        [](cShape& s, const Variant& v) { s.DebugMode(v.ToBool()); });
    t->Property("Index", [](cShape& s) { return Variant(s.Index); });
    t->Property("Key", [](cShape& s) { return Variant(s.Key); });
    t->Property("objType", [](cShape& s) { return Variant(s.objType); });
    return members;
  }();
  return table;
}

Variant cShape::Invoke(std::string_view name, InvokeKind kind, Args args) {
  return Members().Invoke(*this, name, kind, args);
}

}  // namespace veldrane

// Script objects: instances of script classes, and the function objects
// that GetRef returns. Both are core Objects, so TypeName, default members,
// For Each and hosts treat them like any other object.
//
// An instance runs Class_Initialize when New makes it and Class_Terminate
// when its last reference goes, as long as its engine is still there.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/object.h"
#include "vbscript/code.h"

namespace veldrane::vbs {

class ScriptObject : public Object {
 public:
  ScriptObject(std::shared_ptr<const ClassDef> cls, std::weak_ptr<Interpreter*> engine);

  // The class name as declared.
  std::string TypeName() const override { return cls_->name; }
  // Public members only; see InvokeMember.
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  // Calls a member; `allow_private` for access through Me inside the class.
  // Raises 438 for an unknown (or private) member.
  Variant InvokeMember(std::string_view name, InvokeKind kind, Args args, bool allow_private);
  // Calls the member's property procedures or method (shared with bare-name access in the class).
  Variant InvokeResolved(const ClassMember& m, std::string_view name, InvokeKind kind, Args args);

  std::vector<Variant>& fields() { return fields_; }
  const ClassDef& cls() const { return *cls_; }

 private:
  Interpreter& Engine() const;

  std::shared_ptr<const ClassDef> cls_;
  std::weak_ptr<Interpreter*> engine_;
  std::vector<Variant> fields_;
};

// A new instance of a script class, after its Class_Initialize.
ObjectRef NewScriptObject(Interpreter& interp, std::shared_ptr<const ClassDef> cls);

// What Me is outside a class: the global names (variables, constants,
// procedures, named objects) as its members.
ObjectRef NewGlobalObject(Interpreter& interp);

// What GetRef returns: calling its default member calls the procedure.
ObjectRef NewProcRef(Interpreter& interp, std::shared_ptr<const Proc> proc);

}  // namespace veldrane::vbs

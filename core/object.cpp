#include "core/object.h"

namespace veldrane {

Variant Object::Invoke(std::string_view name, InvokeKind, Args) { throw VbError::NotSupported(name); }

std::vector<Variant> Object::Enumerate() { throw VbError::NotACollection(); }

Variant Object::DefaultValue() { return Invoke("", InvokeKind::Get, {}); }

Variant Object::Get(std::string_view name) { return Invoke(name, InvokeKind::Get, {}); }

Variant Object::Call(std::string_view name, std::vector<Variant> args) {
  return Invoke(name, InvokeKind::Get, Args(args));
}

void Object::Let(std::string_view name, Variant value) {
  Variant arg[1] = {std::move(value)};
  Invoke(name, InvokeKind::Let, Args(arg, 1));
}

void ExpectArgs(Args args, size_t min, size_t max) {
  if (args.size() < min || args.size() > max) throw VbError::WrongArgumentCount();
}

}  // namespace veldrane

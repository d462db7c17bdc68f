// Object: the dispatch interface of every object that scripts and hosts
// reach by member name (steps, collections, recordsets, fields, script
// classes, the designer window).
//
// Members are found by name without regard to case. The empty name is the
// default member: `rs("F")` is rs.<default>("F"), and a value context reads
// an object through its default member (see Variant::Resolved). Properties
// and methods share one call: a property get and a method call both use
// InvokeKind::Get, as the platform's late binding does.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text.h"
#include "core/variant.h"
#include "core/vb_error.h"

namespace veldrane {

enum class InvokeKind : uint8_t {
  Get,  // property get or method call
  Let,  // property let: the new value is the last argument
  Set,  // property set: the new object is the last argument
};

using Args = std::span<Variant>;

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  // The class name that TypeName reports.
  virtual std::string TypeName() const = 0;

  // Calls member `name` (case-insensitive; empty = the default member).
  // Raises 438 when the object has no such member, 450 on a wrong argument
  // count. Arguments may be written back (ByRef).
  virtual Variant Invoke(std::string_view name, InvokeKind kind, Args args);

  // The items for For Each, in order; raises 451 when the object is not a
  // collection.
  virtual std::vector<Variant> Enumerate();

  // The value of the default member with no arguments (a value context).
  Variant DefaultValue();

  // Convenience wrappers for C++ callers.
  Variant Get(std::string_view name);
  Variant Call(std::string_view name, std::vector<Variant> args);
  void Let(std::string_view name, Variant value);
};

// Argument checks for Invoke implementations.
void ExpectArgs(Args args, size_t min, size_t max);
inline const Variant& ArgOr(Args args, size_t i, const Variant& fallback) {
  return i < args.size() && !args[i].IsEmpty() ? args[i] : fallback;
}

// A table of members for one C++ class: name (any case) -> handler. Build it
// once per class (a function-local static) and forward Invoke to it.
template <class T>
class MemberTable {
 public:
  using Handler = std::function<Variant(T& self, InvokeKind kind, Args args)>;

  MemberTable& Add(std::string_view name, Handler handler) {
    members_[ToLowerAscii(name)] = std::move(handler);
    return *this;
  }
  // A read-only property: raises 438 for Let/Set (as assigning to a
  // read-only property does) and 450 when arguments are given.
  MemberTable& Property(std::string_view name, std::function<Variant(T&)> get) {
    std::string n(name);
    return Add(name, [get = std::move(get), n](T& self, InvokeKind kind, Args args) {
      if (kind != InvokeKind::Get) throw VbError::NotSupported(n);
      ExpectArgs(args, 0, 0);
      return get(self);
    });
  }
  // A read-write property (no arguments).
  MemberTable& Property(std::string_view name, std::function<Variant(T&)> get,
                        std::function<void(T&, const Variant&)> let) {
    return Add(name, [get = std::move(get), let = std::move(let)](T& self, InvokeKind kind, Args args) {
      if (kind == InvokeKind::Get) {
        ExpectArgs(args, 0, 0);
        return get(self);
      }
      ExpectArgs(args, 1, 1);
      let(self, args[0]);
      return Variant();
    });
  }

  bool Has(std::string_view name) const { return members_.count(ToLowerAscii(name)) != 0; }

  Variant Invoke(T& self, std::string_view name, InvokeKind kind, Args args) const {
    auto it = members_.find(ToLowerAscii(name));
    if (it == members_.end()) throw VbError::NotSupported(name);
    return it->second(self, kind, args);
  }

 private:
  std::unordered_map<std::string, Handler> members_;
};

}  // namespace veldrane

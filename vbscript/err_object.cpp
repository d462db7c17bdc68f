#include "vbscript/err_object.h"

#include "core/text.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

void ErrObject::Set(const VbError& error) {
  number_ = error.number();
  description_ = error.description();
  source_ = error.source();
  help_file_.clear();
  help_context_ = 0;
}

void ErrObject::Clear() {
  number_ = 0;
  description_.clear();
  source_.clear();
  help_file_.clear();
  help_context_ = 0;
}

Variant ErrObject::Invoke(std::string_view name, InvokeKind kind, Args args) {
  bool get = kind == InvokeKind::Get;
  auto text_property = [&](std::string& field) -> Variant {
    if (get) {
      ExpectArgs(args, 0, 0);
      return Variant(field);
    }
    ExpectArgs(args, 1, 1);
    field = args[0].Resolved().ToString();
    return Variant();
  };
  if (name.empty() || IEquals(name, "Number")) {
    if (get) {
      ExpectArgs(args, 0, 0);
      return Variant(number_);
    }
    ExpectArgs(args, 1, 1);
    number_ = args[0].Resolved().ToLong();
    return Variant();
  }
  if (IEquals(name, "Description")) return text_property(description_);
  if (IEquals(name, "Source")) return text_property(source_);
  if (IEquals(name, "HelpFile")) return text_property(help_file_);
  if (IEquals(name, "HelpContext")) {
    if (get) {
      ExpectArgs(args, 0, 0);
      return Variant(help_context_);
    }
    ExpectArgs(args, 1, 1);
    help_context_ = args[0].Resolved().ToLong();
    return Variant();
  }
  if (IEquals(name, "Clear") && get) {
    ExpectArgs(args, 0, 0);
    Clear();
    return Variant();
  }
  if (IEquals(name, "Raise") && get) {
    ExpectArgs(args, 1, 5);
    int32_t number = args[0].Resolved().ToLong();
    if (number == 0) throw Runtime(vberr::kInvalidCall);
    auto text_arg = [&](size_t i) -> std::string {
      if (i >= args.size() || args[i].IsEmpty()) return std::string();
      return args[i].Resolved().ToString();
    };
    std::string source = text_arg(1);
    std::string description = text_arg(2);
    if (source.empty()) source = kRuntimeSource;
    if (description.empty()) {
      description = VbError::StandardDescription(number);
      if (description.empty()) description = "Unknown runtime error";
    }
    VbError error(number, description, source);
    Set(error);
    help_file_ = text_arg(3);
    if (args.size() > 4 && !args[4].IsEmpty()) help_context_ = args[4].Resolved().ToLong();
    throw error;
  }
  throw VbError::NotSupported(name);
}

}  // namespace veldrane::vbs

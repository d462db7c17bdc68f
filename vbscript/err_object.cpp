#include "vbscript/err_object.h"

#include "core/text.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

namespace {

// The description without the culprit's name that the engine appends
// ("Variable is undefined: 'x'"): scripts read the plain text, and only the
// report of an uncaught error names the culprit.
std::string PlainDescription(const VbError& error) {
  const std::string& text = error.description();
  std::string standard = VbError::StandardDescription(error.number());
  if (error.number() == vberr::kObjectNotSet) standard = "Object variable not set";
  if (!standard.empty() && text.size() > standard.size() + 3 && text.compare(0, standard.size(), standard) == 0 &&
      text.compare(standard.size(), 3, ": '") == 0 && text.back() == '\'') {
    return standard;
  }
  return text;
}

}  // namespace

void ErrObject::Set(const VbError& error) {
  std::string description = PlainDescription(error);
  // The error Raise has just set comes back here on its way out: it keeps
  // its help file and context.
  bool same = number_ == error.number() && description_ == description && source_ == error.source();
  number_ = error.number();
  description_ = std::move(description);
  source_ = error.source();
  if (!same) {
    help_file_.clear();
    help_context_ = 0;
  }
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
    int32_t number = RaisedNumber(args[0].Resolved().ToLong());
    if (number == 0) throw Runtime(vberr::kInvalidCall);
    auto given = [&](size_t i) { return i < args.size() && !args[i].IsEmpty(); };
    auto text_arg = [&](size_t i) { return args[i].Resolved().ToString(); };
    // Raising the number Err already holds ("Err.Raise Err.Number") keeps
    // what the arguments leave out; any other number starts afresh.
    bool again = number == number_;
    std::string source = given(1) ? text_arg(1) : again ? source_ : std::string();
    std::string description = given(2) ? text_arg(2) : again ? description_ : std::string();
    std::string help_file = given(3) ? text_arg(3) : again ? help_file_ : std::string();
    int32_t help_context = given(4) ? args[4].Resolved().ToLong() : again ? help_context_ : 0;
    if (source.empty()) source = kRuntimeSource;
    if (description.empty()) {
      description = VbError::StandardDescription(number);
      if (description.empty()) description = "Unknown runtime error";
    }
    VbError error(number, description, source);
    Set(error);
    help_file_ = std::move(help_file);
    help_context_ = help_context;
    throw error;
  }
  throw VbError::NotSupported(name);
}

}  // namespace veldrane::vbs

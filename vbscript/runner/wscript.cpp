#include "vbscript/runner/wscript.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "core/text.h"
#include "core/vb_error.h"

namespace veldrane::vbs {

namespace {

// The text Echo prints for a value.
std::string EchoText(const Variant& v) {
  Variant value = v.IsObject() ? v.Resolved() : v;
  if (value.IsNull()) return "Null";
  return value.ToString();
}

std::string JoinArgs(Args args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ' ';
    line += EchoText(args[i]);
  }
  return line;
}

class Arguments final : public Object {
 public:
  explicit Arguments(std::vector<std::string> items) : items_(std::move(items)) {}
  std::string TypeName() const override { return "IArguments2"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (kind != InvokeKind::Get) throw VbError::NotSupported(name);
    if (name.empty() || IEquals(name, "Item")) {
      ExpectArgs(args, 1, 1);
      int32_t i = args[0].ToLong();
      if (i < 0 || static_cast<size_t>(i) >= items_.size()) throw VbError::SubscriptOutOfRange();
      return Variant(items_[static_cast<size_t>(i)]);
    }
    if (IEquals(name, "Count") || IEquals(name, "Length")) {
      ExpectArgs(args, 0, 0);
      return Variant(static_cast<int32_t>(items_.size()));
    }
    throw VbError::NotSupported(name);
  }
  std::vector<Variant> Enumerate() override {
    std::vector<Variant> out;
    for (const auto& s : items_) out.emplace_back(s);
    return out;
  }

 private:
  std::vector<std::string> items_;
};

class Stream final : public Object {
 public:
  explicit Stream(std::ostream& out) : out_(out) {}
  std::string TypeName() const override { return "TextStream"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (kind != InvokeKind::Get) throw VbError::NotSupported(name);
    if (IEquals(name, "Write")) {
      ExpectArgs(args, 1, 1);
      out_ << EchoText(args[0]);
    } else if (IEquals(name, "WriteLine")) {
      ExpectArgs(args, 0, 1);
      out_ << (args.empty() ? std::string() : EchoText(args[0])) << '\n';
    } else if (IEquals(name, "WriteBlankLines")) {
      ExpectArgs(args, 1, 1);
      for (int32_t i = 0; i < args[0].ToLong(); ++i) out_ << '\n';
    } else {
      throw VbError::NotSupported(name);
    }
    return Variant();
  }

 private:
  std::ostream& out_;
};

class WScript final : public Object {
 public:
  WScript(std::string path, std::vector<std::string> arguments)
      : path_(std::move(path)),
        arguments_(std::make_shared<Arguments>(std::move(arguments))),
        stdout_(std::make_shared<Stream>(std::cout)),
        stderr_(std::make_shared<Stream>(std::cerr)) {}
  std::string TypeName() const override { return "Object"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (kind != InvokeKind::Get) throw VbError::NotSupported(name);
    if (IEquals(name, "Echo")) {
      std::cout << JoinArgs(args) << '\n';
      return Variant();
    }
    if (IEquals(name, "Quit")) {
      ExpectArgs(args, 0, 1);
      std::cout.flush();
      throw QuitRequest{args.empty() ? 0 : static_cast<int>(args[0].ToLong())};
    }
    ExpectArgs(args, 0, name.empty() ? 0 : 1);
    if (IEquals(name, "Arguments")) {
      // WScript.Arguments(i) applies the index to the collection's default member.
      if (args.empty()) return Variant(ObjectRef(arguments_));
      return arguments_->Invoke("", InvokeKind::Get, args);
    }
    if (IEquals(name, "StdOut")) return Variant(ObjectRef(stdout_));
    if (IEquals(name, "StdErr")) return Variant(ObjectRef(stderr_));
    if (IEquals(name, "ScriptName")) return Variant(std::filesystem::path(path_).filename().string());
    if (IEquals(name, "ScriptFullName")) return Variant(std::filesystem::absolute(path_).string());
    if (IEquals(name, "Name") || name.empty()) return Variant("Windows Script Host");
    if (IEquals(name, "Sleep")) {
      ExpectArgs(args, 1, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(args[0].ToLong()));
      return Variant();
    }
    throw VbError::NotSupported(name);
  }

 private:
  std::string path_;
  ObjectRef arguments_, stdout_, stderr_;
};

}  // namespace

ObjectRef NewWScript(std::string script_path, std::vector<std::string> arguments) {
  return std::make_shared<WScript>(std::move(script_path), std::move(arguments));
}

}  // namespace veldrane::vbs

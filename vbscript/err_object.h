// The Err object: the last error that On Error Resume Next absorbed, and the
// way scripts raise their own (Err.Raise). Number is its default member and
// may be assigned.
#pragma once

#include <cstdint>
#include <string>

#include "core/object.h"

namespace veldrane::vbs {

class ErrObject : public Object {
 public:
  std::string TypeName() const override { return "ErrObject"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

  // Sets every field from an error.
  void Set(const VbError& error);
  // Number 0 and empty texts.
  void Clear();
  int32_t number() const { return number_; }

 private:
  int32_t number_ = 0;
  std::string description_;
  std::string source_;
  std::string help_file_;
  int32_t help_context_ = 0;
};

}  // namespace veldrane::vbs

// Rows kept packed: each value as its subtype tag and its bytes, a row in a
// few dozen bytes where the same row as Variants takes a few hundred. A
// recordset keeps the rows added through it this way, so that inserting a
// hundred thousand rows does not fill memory with values written long ago;
// they are still there, exactly as stored, when the cursor comes back to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/variant.h"

namespace veldrane::ado {

class PackedRows {
 public:
  size_t size() const { return where_.size(); }
  // Appends a row of `width` values.
  void Append(const Variant* values, size_t width);
  // Row `i` takes `values` instead.
  void Replace(size_t i, const Variant* values, size_t width);
  // Copies row `i` (its `width` values) into `out`.
  void Read(size_t i, Variant* out, size_t width) const;
  // No rows; the first chunk is kept for the rows to come.
  void Clear();

 private:
  // Packs a row and returns where it starts.
  uint64_t Pack(const Variant* values, size_t width);
  char* Reserve(size_t bytes);

  struct Chunk {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t used = 0;
  };
  std::vector<Chunk> chunks_;
  std::vector<uint64_t> where_;  // per row: chunk << 32 | offset
  // Values that have no bytes of their own (objects, arrays), shared as a copy of the Variant shares them.
  std::vector<Variant> held_;
};

}  // namespace veldrane::ado

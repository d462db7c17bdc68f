// HeldSavepoints: savepoints begun inside an open transaction and held back
// until something needs them. A TARGET step runs under one for every
// record, and its only write is usually the row it saves: one statement,
// which SQLite undoes by itself when it fails, so that write goes without.
// Any other write (a formula's SQLExecute, a second row written in the same
// span) sends the savepoints first, and rolling back to them undoes it.
//
// What the first write did stays if it succeeded and the span is then
// rolled back (a step's row write is its last act, so a step does not fail
// after it), and so do the changes a trigger made before a RAISE(FAIL) of
// its own, which FAIL keeps by definition.
#pragma once

#include <cstdint>
#include <vector>

namespace veldrane::ado {

class HeldSavepoints {
 public:
  // A savepoint at `level` is held back instead of being sent.
  void Hold(int32_t level) {
    if (levels_.empty()) unguarded_write_ = false;
    levels_.push_back(level);
  }
  // True when `level` is the innermost held-back one: it is dropped unsent
  // (released or rolled back, nothing ran under it that needs it).
  bool Drop(int32_t level) {
    if (levels_.empty() || levels_.back() != level) return false;
    levels_.pop_back();
    if (levels_.empty()) unguarded_write_ = false;
    return true;
  }
  // Forgets every held-back level (the transaction ends).
  void Clear() {
    levels_.clear();
    unguarded_write_ = false;
  }
  // A row is about to be written: false for the first under held-back
  // savepoints (it goes without them), true when they must be sent first.
  bool RowWriteNeedsThem() {
    if (levels_.empty()) return false;
    if (!unguarded_write_) {
      unguarded_write_ = true;
      return false;
    }
    return true;
  }
  // The held-back levels, in the order they were begun, to be sent now;
  // none are held afterwards.
  std::vector<int32_t> Take() {
    std::vector<int32_t> levels = std::move(levels_);
    levels_.clear();
    unguarded_write_ = false;
    return levels;
  }
  bool empty() const { return levels_.empty(); }

 private:
  std::vector<int32_t> levels_;  // begun but not yet sent, innermost last
  bool unguarded_write_ = false;  // a row was written under them without sending them
};

}  // namespace veldrane::ado

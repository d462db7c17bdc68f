// The public records and enumerations of the flow-chart model and the run:
// step types, the payload records a step carries (what a SOURCE reads, what a
// TARGET writes, what a decision tests), the run counters, formulas and named
// connections.
//
// Records are plain values. The one exception is the field list of a SOURCE or
// TARGET payload: `fields` is a reference to one shared collection, so two
// copies of a payload see (and change) the same fields. A null `fields` means
// the payload has no field collection at all, which is not the same as an
// empty one (a document writes an empty field element either way, but only a
// collection can be added to).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "core/collection.h"

namespace veldrane {

// Step type, held as a 16-bit signed value (`cShape::objType`).
enum shpType : int16_t {
  aNothing = 0,
  aStart = 1,
  aProcess = 2,
  aDecission = 3,
  aStorage = 4,
  aData = 5,
  aDocument = 6,
  aProcessPredef = 7,
  aWindow = 8,
  aPoint = 9,
  aStop = 10,
};

// One field of a SOURCE step, or one mapping of a TARGET step.
struct tFields {
  std::string f_name;    // field name; the key of a TARGET mapping
  int16_t f_type = 0;    // data type code as read from the document
  int16_t f_size = 0;    // field size as read from the document
  std::string f_value;   // value to write: a step field reference or "FORMULA!name"
  std::string f_lookup;  // lookup expression of a lookup mapping
};

// Payload of a SOURCE step (aData).
struct tData {
  std::string connName;            // name in the connection registry
  std::string connString;          // the connection string itself
  std::string sourcetype;          // "table": Source names a table; otherwise Source is a query
  std::string Source;              // table name or query text
  CollectionRef<tFields> fields;   // source fields, unkeyed; null = no field collection
};

// Payload of a TARGET step (aStorage).
struct tStorage {
  std::string connName;            // name in the connection registry
  std::string connString;          // the connection string itself
  std::string targettype;          // kind of target as read; stored and written back only
  std::string target;              // the target table
  CollectionRef<tFields> fields;   // field mapping keyed by f_name; null = no field collection
  std::string shpOperation;        // "Insert", "Update", "UpdateInsert", "Delete" or "Lookup"
};

// The operation a TARGET step performs, as `shpOperation` names it (exact
// case); kOther for any other text, which the record transfer treats as an
// Update.
enum class StorageOperation { kInsert, kUpdate, kUpdateInsert, kDelete, kLookup, kOther };
inline StorageOperation OperationOf(const tStorage& storage) {
  const std::string& op = storage.shpOperation;
  if (op == "Insert") return StorageOperation::kInsert;
  if (op == "Update") return StorageOperation::kUpdate;
  if (op == "UpdateInsert") return StorageOperation::kUpdateInsert;
  if (op == "Delete") return StorageOperation::kDelete;
  if (op == "Lookup") return StorageOperation::kLookup;
  return StorageOperation::kOther;
}

// Payload of a decision step (aDecission).
struct tDecission {
  std::string condition;  // the decision's condition text
};

// Part of the public interface; nothing in the library creates or reads it.
struct tVoid {
  std::string a;
};

// What a step's `objElements` holds: nothing, a string (an END step's empty
// payload) or one of the three payload records.
using Payload = std::variant<std::monostate, std::string, tData, tStorage, tDecission>;

// Kind of storage operation counted by the run statistics.
enum qlmStatisticKind : int16_t {
  qlmInsert = 0,
  qlmUpdate = 1,
  qlmLookup = 2,
  qlmDelete = 3,
};

// Outcome of one storage operation.
enum qlmStatisticResult : int16_t {
  qlmSuccess = 0,
  qlmFail = 1,
  qlmSkipped = 2,
};

// The kinds of storage operation the run counts: the index of each counter
// array of tStatistic (0 is unused, 5 holds all kinds together).
enum class CounterKind : int { kInsert = 1, kUpdate = 2, kLookup = 3, kDelete = 4 };
inline constexpr int kAllKinds = 5;

// The run counters. Each array is indexed 0 to 5 by the run statistics.
struct tStatistic {
  std::array<int32_t, 6> Success{};  // successful operations
  std::array<int32_t, 6> Errors{};   // failed operations
  std::array<int32_t, 6> Skipped{};  // skipped operations
  std::array<int32_t, 6> Totals{};   // all operations
  int32_t CurrRecord = 0;            // the SOURCE record being processed
  int32_t TotalRecords = 0;          // the number of SOURCE records
  double StartTime = 0;              // OLE date of the run's start
  double EndTime = 0;                // OLE date of the run's end
};

// A named formula: VBScript text defining Main.
struct tFormula {
  std::string name;     // the formula's name, its key (any case)
  std::string formula;  // the script text
};

// A named connection string of the connection registry.
struct tConnection {
  std::string name;        // the entry's name, its key (any case)
  std::string connString;  // the connection string
};

// The three history tables.
enum kindrecordset : int16_t {
  scheduleddata = 0,
  executiondata = 1,
  executionlogdata = 2,
};

// Weekday bits of a schedule's WEEKDAY field.
enum kindweekday : int16_t {
  monday = 1,
  tuesday = 2,
  wednesday = 4,
  thursday = 8,
  fryday = 16,
  saturday = 32,
  sunday = 64,
};

// Unit of a schedule's KINDEVERY field.
enum kindevery : int16_t {
  minutes = 1,
  hours = 2,
  days = 3,
  weeks = 4,
};

}  // namespace veldrane

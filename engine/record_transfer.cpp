// The record transfer of clsProcess: what a TARGET step does with the
// current source record. BuildQuery selects the target row by the step's
// lookup mappings; TransferRecord re-queries the step's rows with it,
// performs the step's operation (Insert, Update, UpdateInsert, Delete,
// Lookup), writes the mapped values and counts the outcome.
//
// This is a boundary: every failure of a transfer is turned into a log entry
// with the record's number, an execution-log row and a failure count, and the
// run goes on. Only a failure while a failure is being handled (the edit mode
// of rows that are not there) leaves TransferRecord, which ends the walk of
// the record.
#include <string_view>

#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "engine/step_data.h"
#include "history/cls_log.h"
#include "localization/bas_utils.h"
#include "platform/db/ado.h"
#include "platform/db/sql_text.h"
#include "platform/db/target_select.h"

namespace veldrane {

namespace {

const tStorage& TargetPayload(const cShape& step) {
  const auto* payload = std::get_if<tStorage>(&step.objElements);
  if (!payload) {
    throw VbError(vberr::kTypeMismatch, "Type mismatch: step '" + step.sCaption() + "' holds no TARGET description");
  }
  return *payload;
}

// The rows of a TARGET step; `data` raises when they cannot be opened.
ado::Recordset& Rows(StepData& step) { return *step.data(); }

// A step field reference, Caption([Field]), read by position as it has
// always been: the caption is everything before the first "(", the field
// name starts two characters after it and stops two characters before the
// end.
struct StepFieldReference {
  std::string_view caption;
  std::string_view field;
};

StepFieldReference ParseStepFieldReference(const std::string& text, const std::string& target_field) {
  size_t open = text.find('(');
  // The field name's length: (length of the text) - p - 3, p being the
  // 1-based position of "(".
  int64_t length = static_cast<int64_t>(text.size()) - static_cast<int64_t>(open + 1) - 3;
  if (open == std::string::npos || length < 0) {
    throw VbError(vberr::kInvalidCall, "Invalid procedure call or argument: the value '" + text + "' of field " +
                                           target_field +
                                           " is neither a step field reference such as SOURCE([FIELD]) nor a "
                                           "FORMULA! reference");
  }
  std::string_view all(text);
  return {all.substr(0, open), all.substr(open + 2, static_cast<size_t>(length))};
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

std::shared_ptr<const ado::TargetSelect> clsProcess::BuildTarget(cShape& step) {
  RunState& run = EnsureRunState(run_);
  run.lookup_null = false;
  run.null_mapping.clear();
  try {
    const tStorage& target = TargetPayload(step);
    // Names go into the statement as names: one that is not a plain,
    // quoted or bracketed name ("X --", "X; DROP") is quoted, so that it
    // can never turn the key condition into a comment or a second statement.
    // Values never go into it at all: they are bound.
    std::string table = ado::SafeIdentifier(target.target);
    std::vector<std::string> columns;
    std::vector<Variant> values;
    if (target.fields) {
      for (const tFields& mapping : *target.fields) {
        if (mapping.f_lookup.empty()) continue;
        // Evaluated once: a lookup formula that queries a database runs
        // once per mapping and record.
        bool failed = false;
        Variant value = EvaluateValue(mapping.f_lookup, &failed);
        // A key that could not be evaluated (logged) selects nothing it was
        // meant to: the row it stands for would be missed and, with
        // UpdateInsert, written a second time. The record fails instead.
        if (failed) return nullptr;
        if (value.IsNull()) {
          // A key with a hole would select rows by part of their key; the
          // transfer fails the record instead of running this query.
          run.lookup_null = true;
          run.null_mapping = mapping.f_lookup + " --> " + mapping.f_name;
          return nullptr;
        }
        columns.push_back(ado::SafeIdentifier(mapping.f_name));
        values.push_back(std::move(value));
      }
    }
    // The step's last select, for its prepared text: the same table and
    // columns record after record.
    const std::shared_ptr<const ado::TargetSelect>& last = StepData::Of(step).target();
    if (last && last->table == table && last->key_columns == columns) {
      // Without key columns the select is the same for every record.
      if (columns.empty()) return last;
      return last->Next(std::move(values));
    }
    auto select = std::make_shared<ado::TargetSelect>();
    select->table = std::move(table);
    select->key_columns = std::move(columns);
    select->key_values = std::move(values);
    return select;
  } catch (const VbError& e) {
    LogFailedRecord(e.description(), e.number());
    return nullptr;
  }
}

std::string clsProcess::BuildQuery(cShape& step) {
  std::shared_ptr<const ado::TargetSelect> select = BuildTarget(step);
  if (!select) return std::string();
  // Without key conditions: the table's rows, as the step's query always read.
  return select->Keyed() ? select->Text() : "SELECT * FROM " + select->table;
}

void clsProcess::TransferRecord(cShape& step) {
  RunState& run = EnsureRunState(run_);
  StepData& data = StepData::Of(step);
  // The mapping in hand, for the failure message: the one being read and
  // written, none once it is written (a failure of the row's own Update is
  // no mapping's: the provider's message names the column). Built only when
  // needed. A formula mapping is described by its value, a field reference
  // by the source field's name, a value that is neither by its text.
  const tFields* in_hand = nullptr;
  auto description = [&]() -> std::string {
    if (!in_hand) return std::string();
    if (StartsWith(in_hand->f_value, "FORMULA")) return in_hand->f_value + " --> " + in_hand->f_name;
    try {
      return std::string(ParseStepFieldReference(in_hand->f_value, in_hand->f_name).field) + " --> " + in_hand->f_name;
    } catch (const VbError&) {
      // The reference itself is what failed to read.
      return in_hand->f_value + " --> " + in_hand->f_name;
    }
  };
  const tStorage* target = nullptr;
  try {
    target = &TargetPayload(step);
    std::shared_ptr<const ado::TargetSelect> select = BuildTarget(step);
    if (run.lookup_null) {
      // Nothing is written, and the step's rows select nothing, so that a
      // later step reading this one's row cannot see the previous record's.
      data.setTarget(ado::SelectNoRow(ado::SafeIdentifier(target->target)));
      LogFailedRecord(run.null_mapping + " " + Translate("Lookup cannot be used with a NULL value", "clsProcess"),
                      vberr::kInvalidUseOfNull);
      CountFailure();
      return;
    }
    if (!select) {
      // A lookup value that could not be had (logged by BuildTarget): the
      // record fails here, and the rows select nothing, as for a Null.
      data.setTarget(ado::SelectNoRow(ado::SafeIdentifier(target->target)));
      CountFailure();
      return;
    }
    const bool keyed = select->Keyed();
    // A query that selects no row by construction gives no rows whatever the
    // table holds: rows opened with it before are emptied instead of asking
    // the database again.
    if (keyed || !data.emptyRowsFor(*select)) data.setTarget(std::move(select));

    const StorageOperation op = OperationOf(*target);
    if (op == StorageOperation::kUpdateInsert) {
      // Without key conditions there is no row to update: always a new one.
      if (!keyed || Rows(data).RecordCount() == 0) Rows(data).AddNew();
    } else if (op == StorageOperation::kInsert) {
      Rows(data).AddNew();
    } else if (op == StorageOperation::kDelete) {
      Rows(data).Delete(ado::adAffectCurrent);
      CountSuccess(CounterKind::kDelete);
      return;
    } else if (op == StorageOperation::kLookup) {
      // The rows stay closed until a reader needs them.
      CountSuccess(CounterKind::kLookup);
      return;
    }
    // "Update", and any other operation name, update the first row found.

    if (target->fields) {
      // Between two formulas nothing runs that could change a step's rows:
      // the target's rows and the last source step read are looked up once
      // and again after each formula.
      ado::Recordset* rows = nullptr;
      std::string_view source_caption;
      ado::Recordset* source_rows = nullptr;
      for (const tFields& mapping : *target->fields) {
        if (mapping.f_value.empty()) continue;
        try {
          if (!rows) rows = &Rows(data);
          int32_t mode = rows->EditMode();
          // On an existing row the key mappings are not written; on a new
          // row every mapping with a value is.
          bool write = mode == ado::adEditAdd ||
                       ((mode == ado::adEditNone || mode == ado::adEditInProgress) && mapping.f_lookup.empty());
          if (!write) continue;
          Variant value;
          in_hand = &mapping;
          if (StartsWith(mapping.f_value, "FORMULA")) {
            rows = nullptr;
            source_rows = nullptr;
            value = EvaluateValue(mapping.f_value);
            rows = &Rows(data);
          } else {
            StepFieldReference ref = ParseStepFieldReference(mapping.f_value, mapping.f_name);
            if (!source_rows || ref.caption != source_caption) {
              source_rows = nullptr;
              std::shared_ptr<cShape>* source = mStepsByCaption ? mStepsByCaption->Find(ref.caption) : nullptr;
              if (!source) {
                throw VbError(vberr::kInvalidCall, "Invalid procedure call or argument: no step is captioned '" +
                                                       std::string(ref.caption) + "'");
              }
              // Held by the step for as long as this record's mappings run.
              std::shared_ptr<ado::Recordset> source_data = StepData::Of(**source).data();
              if (!source_data) {
                throw VbError(vberr::kObjectNotSet,
                              "Object variable not set: step '" + std::string(ref.caption) + "' has no rows");
              }
              source_rows = source_data.get();
              source_caption = ref.caption;
            }
            value = source_rows->GetFields().Item(ref.field).Value();
          }
          rows->GetFields().Item(std::string_view(mapping.f_name)).SetValue(value);
          // Written: a later failure (the row's Update) is not this mapping's.
          in_hand = nullptr;
        } catch (const VbError& e) {
          // A Null where text is needed skips this mapping; the others run.
          if (e.number() != vberr::kInvalidUseOfNull) throw;
          in_hand = nullptr;
        }
      }
    }

    int32_t mode = Rows(data).EditMode();
    Rows(data).Update();
    if (mode == ado::adEditAdd) {
      CountSuccess(CounterKind::kInsert);
    } else if (mode == ado::adEditInProgress) {
      CountSuccess(CounterKind::kUpdate);
    }
    // Mode 0: nothing was written (every mapping was a key), nothing counted.
  } catch (const VbError& e) {
    std::string mapping = description();
    LogFailedRecord(mapping.empty() ? e.description() : mapping + " " + e.description(), e.number());
    // Classified by what was pending. When the edit mode cannot be read (no
    // row found, rows that would not open) this raises, the failure stays
    // uncounted and the caller ends the record's walk.
    int32_t mode = Rows(data).EditMode();
    if (mode == ado::adEditAdd) {
      CountFailure(CounterKind::kInsert);
    } else if (mode == ado::adEditInProgress) {
      CountFailure(CounterKind::kUpdate);
    } else if (mode == ado::adEditDelete) {
      CountFailure(CounterKind::kDelete);
    } else if (target && OperationOf(*target) == StorageOperation::kLookup) {
      CountFailure(CounterKind::kLookup);
    } else {
      CountFailure();
    }
  }
}

}  // namespace veldrane

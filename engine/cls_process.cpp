// The process object itself: its collections, the relay of its log's event,
// the walks along the links, the caption index and insertShapeAtEnd. Loading
// and saving live in document/, the run in the engine's other files.
#include "engine/cls_process.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "core/checked.h"
#include "document/integration_document.h"
#include "engine/run_state.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"
#include "platform/db/ado.h"

namespace veldrane {

namespace {

// Whether a link end, read as a number, is `number`. An end that is not a
// number (an empty end left by a failed designer request) names no step, so
// it matches nothing instead of stopping the walk.
bool EndIs(const std::string& end, int16_t number) {
  std::optional<double> value = ParseNumber(end);
  return value && *value == number;
}

// A link end as a 16-bit whole number: 13 when it is not a number, 6 when it
// does not fit.
int16_t EndAsInteger(const std::string& end) { return Variant(end).ToInteger(); }

// The script form of a collection object, when the class has one.
// Collections that are not script objects answer as a missing member would.
template <class T>
Variant ScriptObject(const std::shared_ptr<T>& object, std::string_view member) {
  if constexpr (std::is_base_of_v<Object, T>) {
    return Variant(ObjectRef(object));
  } else {
    throw VbError::NotSupported(member);
  }
}

}  // namespace

clsProcess::clsProcess() : gbLog(std::make_shared<clsLog>()), run_(std::make_unique<RunState>()) {
  log_relay_ = gbLog->LogAdded.connect([this](std::string& text) { OnLogAdded(text); });
}

clsProcess::~clsProcess() {
  // Steps hold the log beyond our life when a host keeps them: a critical
  // entry added then must not reach a process that is gone.
  gbLog->LogAdded.disconnect(log_relay_);
}

void clsProcess::OnLogAdded(std::string& text) { LogAdded(text); }

std::shared_ptr<cShapes> clsProcess::Shapes() {
  if (!mShapes) mShapes = std::make_shared<cShapes>();
  return mShapes;
}

std::shared_ptr<cLines> clsProcess::Lines() {
  if (!mLines) mLines = std::make_shared<cLines>();
  return mLines;
}

std::shared_ptr<cFormulas> clsProcess::Formulas() {
  if (!mFormulas) mFormulas = std::make_shared<cFormulas>();
  return mFormulas;
}

void clsProcess::CommitSize(int32_t records) {
  if (records < 1) throw VbError::InvalidCall("CommitSize must be at least 1, not " + std::to_string(records));
  commit_size_ = records;
}

void clsProcess::SetFormOnCollections() {
  Shapes()->Form(mForm);
  Lines()->Form(mForm);
  Formulas()->Form(mForm);
}

std::shared_ptr<cShape> clsProcess::GetStartStep() {
  for (const std::shared_ptr<cShape>& step : *Shapes()->Collection()) {
    if (step->objType == aStart) return step;
  }
  return nullptr;
}

std::string clsProcess::LoadIntegration(const std::string& Filename, std::shared_ptr<DesignerWindow> Form) {
  if (Shapes()->Collection()->Count() > 0 || Shapes()->MAX_SHAPE != 0 || Lines()->Count() > 0 ||
      Formulas()->Count() > 0) {
    // Links name steps by number: a second document read into the same
    // collections would link its steps to the first one's.
    return "Cannot load " + (Filename.empty() ? std::string("the default template") : "'" + Filename + "'") +
           ": this process already holds steps, links or formulas. Load every document into a new process object.";
  }
  mForm = std::move(Form);
  SetFormOnCollections();
  std::string failure = ReadIntegration(Filename, {*Shapes(), *Lines(), *Formulas()});
  if (failure.empty()) mFilename = Filename;
  return failure;
}

std::string clsProcess::SaveIntegration(const std::string& Filename) {
  if (!Filename.empty()) mFilename = Filename;
  WriteIntegration(mFilename, {*Shapes(), *Lines(), *Formulas()}, *gbLog);
  return {};
}

WalkPlan clsProcess::PlanFlow() {
  WalkPlan walk;
  walk.built = true;
  std::shared_ptr<cShape> current = GetStartStep();
  if (!current) {
    walk.end = WalkPlan::End::kNoStart;
    return walk;
  }
  // The walk is deterministic: a step reached twice would be reached again
  // and again, so the walk ends at the first return.
  std::vector<const cShape*> visited{current.get()};
  while (current->objType != aStop) {
    std::shared_ptr<cShape> next;
    try {
      next = GetNextStep(current, "");
    } catch (const VbError&) {
      walk.end = WalkPlan::End::kFailure;  // every record's walk ends here, silently
      break;
    }
    if (!next) {
      walk.end = WalkPlan::End::kDeadEnd;
      break;
    }
    if (std::find(visited.begin(), visited.end(), next.get()) != visited.end()) {
      walk.end = WalkPlan::End::kLoop;
      walk.loop_step = std::move(next);
      break;
    }
    visited.push_back(next.get());
    walk.steps.push_back(next);
    current = std::move(next);
  }
  return walk;
}

std::shared_ptr<cShape> clsProcess::GetEndStep() {
  for (const std::shared_ptr<cShape>& step : *Shapes()->Collection()) {
    if (step->objType == aStop) return step;
  }
  return nullptr;
}

std::shared_ptr<cShape> clsProcess::GetNextStep(const std::shared_ptr<cShape>& step, const std::string& caption) {
  if (!step) return nullptr;
  for (const std::shared_ptr<cLine>& line : *Lines()->Collection()) {
    if (!EndIs(line->sFrom(), step->Index)) continue;
    if (!caption.empty() && !IEquals(caption, line->sCaption())) continue;
    // The target is taken by its place in the collection, not by its number:
    // documents store links as node numbers, which are places.
    return Shapes()->Collection()->Item(static_cast<int32_t>(EndAsInteger(line->sTo())));
  }
  return nullptr;
}

std::shared_ptr<cShape> clsProcess::GetPreviousStep(const std::shared_ptr<cShape>& step) {
  if (!step) return nullptr;
  for (const std::shared_ptr<cLine>& line : *Lines()->Collection()) {
    if (!EndIs(line->sTo(), step->Index)) continue;
    return Shapes()->Collection()->Item(static_cast<int32_t>(EndAsInteger(line->sFrom())));
  }
  return nullptr;
}

void clsProcess::IndexStepsByCaption(Collection<std::shared_ptr<cShape>>& steps) {
  // An empty caption is added without a key: such a step cannot be named by
  // a step field reference anyway.
  for (const std::shared_ptr<cShape>& step : *Shapes()->Collection()) steps.Add(step, step->sCaption());
}

bool clsProcess::insertShapeAtEnd(cShape& cb) {
  std::shared_ptr<cShape> end = GetEndStep();
  if (!end) throw VbError::ObjectNotSet();
  std::shared_ptr<cLine> into_end;
  for (const std::shared_ptr<cLine>& line : *Lines()->Collection()) {
    if (EndIs(line->sTo(), end->Index)) {
      into_end = line;
      break;
    }
  }
  if (!into_end) return false;

  // The step before END is found by its number here (links hold numbers),
  // unlike the run's walk, which takes link ends as places.
  std::shared_ptr<cShape> prev = Shapes()->Collection()->Item(Shapes()->getKeyByIndex(EndAsInteger(into_end->sFrom())));
  into_end->sFrom(std::to_string(cb.Index));
  Lines()->addLine(std::to_string(prev->Index), std::to_string(cb.Index), "");
  // A link made without a window has no drawing to follow the change.
  if (into_end->objLine) Lines()->UpdateLine(*into_end);
  return true;
}

Variant clsProcess::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<clsProcess> members = [] {
    MemberTable<clsProcess> t;
    t.Property("SourceStep", [](clsProcess& p) { return Variant(ObjectRef(p.SourceStep())); });
    t.Property("SourceData", [](clsProcess& p) { return Variant(ObjectRef(p.SourceData())); });
    t.Property("Filename", [](clsProcess& p) { return Variant(p.Filename()); });
    t.Add("RunFile", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 1, 1);
      return Variant(p.RunFile(a[0].ToString()));
    });
    t.Add("Run", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      return Variant(p.Run());
    });
    t.Add("RunRecord", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      return Variant(p.RunRecord());
    });
    t.Add("RunNextRecord", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      return Variant(p.RunNextRecord());
    });
    t.Add("CancelExec", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      return Variant(p.CancelExec());
    });
    t.Add("insertShapeAtEnd", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 1, 1);
      auto step = std::dynamic_pointer_cast<cShape>(a[0].ToObject());
      if (!step) throw VbError::TypeMismatch("insertShapeAtEnd needs a step (cShape)");
      return Variant(p.insertShapeAtEnd(*step));
    });
    t.Property("Shapes", [](clsProcess& p) { return ScriptObject(p.Shapes(), "Shapes"); });
    t.Property("Lines", [](clsProcess& p) { return ScriptObject(p.Lines(), "Lines"); });
    t.Property("Formulas", [](clsProcess& p) { return ScriptObject(p.Formulas(), "Formulas"); });
    t.Add("LoadIntegration", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 1, 2);
      // Scripts have no designer window to hand over: only Nothing is taken.
      if (a.size() > 1 && !a[1].IsEmpty() && a[1].ToObject()) {
        throw VbError::TypeMismatch("LoadIntegration from a script takes no designer window");
      }
      return Variant(p.LoadIntegration(a[0].ToString()));
    });
    t.Add("SaveIntegration", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 0, 1);
      return Variant(p.SaveIntegration(a.empty() || a[0].IsEmpty() ? std::string() : a[0].ToString()));
    });
    t.Add("isFormulaUsed", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 1, 1);
      return Variant(p.isFormulaUsed(a[0].ToString()));
    });
    t.Add("CheckFormula", [](clsProcess& p, InvokeKind, Args a) {
      ExpectArgs(a, 1, 1);
      return Variant(p.CheckFormula(a[0].ToString()));
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

}  // namespace veldrane

// ScriptHost: the VBScript engine as a flow's formulas see it. It prepares
// the thread's one engine with every SOURCE and TARGET step's rows under
// the step's caption, the step collection as "Steps" and the SQLExecute
// bridge, evaluates formulas and lookup expressions on it, and tries formula
// texts for the designer. It knows the model and the engine of scripts,
// nothing of runs: the process object decides when to prepare and what a
// failed evaluation means for a record.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/collection.h"
#include "core/object.h"
#include "core/variant.h"

namespace veldrane {

class cFormulas;
class cShape;
class cShapes;

// The steps' rows as formulas reach them, from whoever keeps them (the
// engine's StepData).
class StepRowsSource {
 public:
  virtual ~StepRowsSource() = default;
  // Opens the step's connection unless it is open; false when it will not
  // (the step has logged why).
  virtual bool Connect(cShape& step) = 0;
  // True when the step's connection is open; nothing is opened.
  virtual bool Connected(const cShape& step) = 0;
  // The object a formula reaches under the step's caption: the step's rows
  // of the moment, found when a formula first reads them.
  virtual ObjectRef StandIn(const std::shared_ptr<cShape>& step) = 0;
  // Points a stand-in made by StandIn at the step's rows of now.
  virtual void Point(Object& stand_in, const std::shared_ptr<cShape>& step) = 0;
  // What a formula's Caption("field") gives through the stand-in: the
  // field's value in the step's rows of the moment. Raises as reading them
  // through the stand-in's default member does.
  virtual Variant FieldValue(Object& stand_in, std::string_view field) = 0;
};

class ScriptHost {
 public:
  ScriptHost() = default;
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Resets the thread's engine and gives it each SOURCE and TARGET step of
  // `shapes` whose connection opens (through a stand-in that reaches the
  // step's rows of the moment), `steps_by_caption` as "Steps" and the
  // SQLExecute bridge. When nothing ran on the engine since this host
  // prepared it with these very steps, the stand-ins are only pointed at the
  // steps' rows of now. Never raises: what the engine refuses is left out.
  void Prepare(cShapes& shapes, const CollectionRef<std::shared_ptr<cShape>>& steps_by_caption,
               StepRowsSource& steps_rows);

  // The value of a mapping's text: "FORMULA!Name" runs that formula of
  // `formulas` (its Main), any other text is evaluated as an expression.
  // Raises the engine's failure; for a formula, its name and line are added
  // to the description.
  Variant Evaluate(const std::string& value, cFormulas& formulas);

  // Runs `text` as a formula on the prepared engine: "" when it runs (or
  // reads a column of rows that hold none), else the engine's error with the
  // source line and its number.
  std::string Check(const std::string& text);

 private:
  bool PreparedAsBefore(cShapes& shapes, const CollectionRef<std::shared_ptr<cShape>>& steps_by_caption,
                        StepRowsSource& steps_rows);

  // What the last preparation gave the engine, in order: the name and the
  // object (a step's rows through a stand-in, or Steps).
  struct ScriptObject {
    std::string name;   // the step's caption, or Steps
    ObjectRef given;    // what the engine holds
    ObjectRef current;  // the step it stands for, or Steps
    std::shared_ptr<cShape> step;  // the same step; null for Steps
    bool keyword;       // the name is also one of the language's words
  };
  std::vector<ScriptObject> objects_;
  StepRowsSource* rows_source_ = nullptr;  // of the last preparation

  // The step stand-in the engine knows under `name` while it holds just
  // what the last preparation gave it; null otherwise.
  const ScriptObject* PreparedStep(std::string_view name) const;
};

}  // namespace veldrane

// DesignSession: the designer's one document, held as the library holds a
// designer's document: a clsProcess loaded onto an in-memory designer window.
//
// Every gesture of the page arrives here as one request and becomes the
// library's own call (AddShape, AddCaptionToShape, removeShape, addLine,
// AddCaptionToLine, DeleteLine, insertShapeAtEnd, AddElementsToNode,
// AddFormula, CheckFormula, a picture move followed by
// UpdateConntectedLines). The page keeps no model of its own: after each
// request it draws the window's controls as this session reports them.
// Refusals the library reports through its events (linkError, the formula
// collection's Error) come back as the request's message.
//
// Not thread-safe: the library's objects belong to the thread that made
// them, so the server calls a session from one library thread only.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace veldrane {
class clsProcess;
class MemoryWindow;
}  // namespace veldrane

namespace veldrane::designer {

// A request the session refuses; `status` is the HTTP status to answer with.
struct Refusal {
  int status;
  std::string message;
};

class DesignSession {
 public:
  // Loads `document` onto a new window; an empty name, or a file that does
  // not exist yet, starts from the default template (saved to `document`).
  // Raises Refusal when the document does not load.
  explicit DesignSession(std::string document);
  ~DesignSession();

  // The whole state the page draws: the window's controls in drawing order,
  // the steps with their payloads, the links, the formulas, the unsaved mark.
  nlohmann::json State() const;

  // Gestures. Each returns the library's refusal message, "" when none.
  std::string AddStep(int type, float x, float y, const std::string& caption);
  std::string MoveStep(int index, float x, float y);
  std::string CaptionStep(int index, const std::string& caption);
  std::string RemoveStep(int index);
  std::string SelectStep(int index);
  std::string InsertAtEnd(int index);
  std::string AddLink(const std::string& from, const std::string& to, const std::string& caption);
  std::string CaptionLink(const std::string& from, const std::string& to, const std::string& caption);
  std::string RemoveLinks(int from, int to);
  // Replaces a SOURCE, TARGET or decision step's payload from its JSON form.
  std::string SetPayload(int index, const nlohmann::json& payload);

  // Formulas: add, change the text, rename, delete. Delete and rename are
  // refused while a mapping uses the formula.
  std::string AddFormula(const std::string& name, const std::string& text);
  std::string SetFormulaText(const std::string& name, const std::string& text);
  std::string RenameFormula(const std::string& name, const std::string& new_name);
  std::string DeleteFormula(const std::string& name);
  // The library's check of a formula text: {"error": text, "line": n}, or
  // {"error": ""} when it passes.
  nlohmann::json CheckFormula(const std::string& text);

  // Writes the document (atomically, through the library's writer). Raises
  // Refusal with the writer's logged failure.
  void Save();

  const std::string& document() const { return document_; }
  bool dirty() const { return dirty_; }

 private:
  // Runs a gesture: collects the library's refusals raised during `action`,
  // turns a raised VbError into a message, and marks the document changed
  // when the gesture was accepted.
  template <class F>
  std::string Gesture(F&& action);
  // Re-centres the caption under a step, after its picture moved.
  void PlaceCaption(int index);

  std::string document_;                   // the opened document's absolute path
  std::shared_ptr<MemoryWindow> window_;   // the designer window the library draws on
  std::shared_ptr<clsProcess> process_;    // the document's process object
  std::vector<std::string> refusals_;      // linkError / Error messages of the current gesture
  std::string pending_caption_;            // the answer AddCaptionToLine's prompt gives
  bool dirty_ = false;                     // changed since loaded or saved
};

}  // namespace veldrane::designer

#include "designer/design_session.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "core/text.h"
#include "core/vb_error.h"
#include "designer/model_json.h"
#include "engine/cls_process.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"
#include "model/memory_window.h"

namespace veldrane::designer {

using nlohmann::json;

namespace {

// The space the selection markers leave around a step's picture.
constexpr float kMarkerMargin = 60;

std::string Joined(const std::vector<std::string>& messages) {
  std::string out;
  for (const std::string& m : messages) out += (out.empty() ? "" : "\n") + m;
  return out;
}

}  // namespace

DesignSession::DesignSession(std::string document)
    : window_(std::make_shared<MemoryWindow>()), process_(std::make_shared<clsProcess>()) {
  if (!document.empty()) document_ = std::filesystem::absolute(document).lexically_normal().string();
  window_->SetProcess(process_);
  std::error_code ec;
  bool exists = !document_.empty() && std::filesystem::exists(document_, ec);
  std::string load_error;
  try {
    load_error = process_->LoadIntegration(exists ? document_ : std::string(), window_);
  } catch (const VbError& error) {
    throw Refusal{422, "the document does not fit the integration format: " + error.description()};
  }
  if (!load_error.empty()) throw Refusal{422, load_error};
  // A new document exists only in memory until it is saved.
  dirty_ = !exists;

  // Nothing is selected until the person clicks a step.
  window_->Control("shpSelector").setVisible(false);
  window_->Control("shpPrevious").setVisible(false);
  ShowLinkCaptions(*process_->Lines(), *window_);

  auto refuse = [this](const std::string& message) { refusals_.push_back(message); };
  process_->Shapes()->linkError.connect(refuse);
  process_->Lines()->linkError.connect(refuse);
  process_->Formulas()->Error.connect(refuse);
  // AddCaptionToLine asks for each caption; the page has already asked.
  process_->Lines()->Prompt([this](std::string_view, std::string_view, std::string_view) { return pending_caption_; });
}

DesignSession::~DesignSession() {
  // The window and the process refer to each other; this lets both go.
  window_->SetProcess(nullptr);
  process_->Form(nullptr);
}

template <class F>
std::string DesignSession::Gesture(F&& action) {
  refusals_.clear();
  bool changed = false;
  try {
    changed = action();
  } catch (const VbError& error) {
    refusals_.push_back(error.description());
    // A refused request may still have changed something (removeShape
    // deletes the links of START before it refuses), so the mark follows
    // what the library did rather than whether it agreed.
    changed = true;
  }
  if (changed) dirty_ = true;
  return Joined(refusals_);
}

json DesignSession::State() const {
  json steps = json::array();
  for (auto& step : *process_->Shapes()->Collection()) {
    steps.push_back({{"index", step->Index},
                     {"key", step->Key},
                     {"type", step->objType},
                     {"caption", step->sCaption()},
                     {"payload", PayloadToJson(step->objElements)}});
  }
  json links = json::array();
  for (auto& line : *process_->Lines()->Collection()) {
    links.push_back({{"from", line->sFrom()},
                     {"to", line->sTo()},
                     {"caption", line->sCaption()},
                     {"index", line->objLine ? line->objLine->Index() : 0}});
  }
  json formulas = json::array();
  for (const tFormula& formula : *process_->Formulas()->Collection()) {
    formulas.push_back(
        {{"name", formula.name}, {"formula", formula.formula}, {"used", process_->isFormulaUsed(formula.name)}});
  }
  return {{"document", document_},
          {"name", std::filesystem::path(document_).filename().string()},
          {"dirty", dirty_},
          {"current", process_->Shapes()->CurrCtl()},
          {"window", WindowToJson(*window_)},
          {"steps", std::move(steps)},
          {"links", std::move(links)},
          {"formulas", std::move(formulas)}};
}

std::string DesignSession::AddStep(int type, float x, float y, const std::string& caption) {
  if (type < aStart || type > aStop) return "There is no step of type " + std::to_string(type) + ".";
  return Gesture([&] {
    auto step = process_->Shapes()->AddShape(static_cast<int16_t>(type), std::max(0.0f, std::round(x)),
                                           std::max(0.0f, std::round(y)), caption);
    if (!step) refusals_.push_back("The step could not be added.");
    return true;
  });
}

void DesignSession::PlaceCaption(int index) {
  auto shapes = process_->Shapes();
  std::string key = shapes->getKeyByIndex(static_cast<int16_t>(index));
  shapes->AddCaptionToShape(key, shapes->Collection()->Item(key)->sCaption());
}

std::string DesignSession::MoveStep(int index, float x, float y) {
  return Gesture([&] {
    auto shapes = process_->Shapes();
    auto step = shapes->Collection()->Item(shapes->getKeyByIndex(static_cast<int16_t>(index)));
    step->SetPosition(std::max(0.0f, std::round(x)), std::max(0.0f, std::round(y)));
    // The library leaves following a moved picture to its host: the caption
    // is centred again and the step's links re-routed by the library's calls.
    PlaceCaption(index);
    process_->Lines()->UpdateConntectedLines(std::to_string(index));
    if (process_->Shapes()->CurrCtl() == step->Key) SelectStep(index);
    return true;
  });
}

std::string DesignSession::CaptionStep(int index, const std::string& caption) {
  return Gesture([&] {
    auto shapes = process_->Shapes();
    shapes->AddCaptionToShape(shapes->getKeyByIndex(static_cast<int16_t>(index)), caption);
    return true;
  });
}

std::string DesignSession::RemoveStep(int index) {
  return Gesture([&] { return process_->Shapes()->removeShape(static_cast<int16_t>(index)) || true; });
}

std::string DesignSession::SelectStep(int index) {
  try {
    auto shapes = process_->Shapes();
    std::string key = shapes->getKeyByIndex(static_cast<int16_t>(index));
    if (key.empty()) return "There is no step " + std::to_string(index) + ".";
    if (shapes->CurrCtl() != key) {
      shapes->PrevCtl(shapes->CurrCtl());
      shapes->CurrCtl(key);
    }
    auto frame = [&](const char* marker, const std::string& step_key) {
      WindowControl& m = window_->Control(marker);
      int32_t pos = step_key.empty() ? 0 : shapes->getPosByKey(step_key);
      if (pos == 0) return m.setVisible(false);
      const WindowControl& picture = *shapes->Collection()->Item(pos)->objShape;
      m.Move(picture.Left() - kMarkerMargin, picture.Top() - kMarkerMargin);
      m.setWidth(picture.Width() + 2 * kMarkerMargin);
      m.setHeight(picture.Height() + 2 * kMarkerMargin);
      m.setVisible(true);
    };
    frame("shpSelector", key);
    frame("shpPrevious", shapes->PrevCtl() == key ? std::string() : shapes->PrevCtl());
  } catch (const VbError& error) {
    return error.description();
  }
  return {};
}

std::string DesignSession::InsertAtEnd(int index) {
  return Gesture([&] {
    auto shapes = process_->Shapes();
    auto step = shapes->Collection()->Item(shapes->getKeyByIndex(static_cast<int16_t>(index)));
    if (!process_->insertShapeAtEnd(*step)) {
      refusals_.push_back("No link leads into END, so there is no place before it.");
      return false;
    }
    return true;
  });
}

std::string DesignSession::AddLink(const std::string& from, const std::string& to, const std::string& caption) {
  return Gesture([&] {
    size_t before = refusals_.size();
    auto line = process_->Lines()->addLine(from, to, caption);
    if (refusals_.size() > before) return false;
    if (!line) refusals_.push_back("The link could not be drawn between " + from + " and " + to + ".");
    return true;
  });
}

std::string DesignSession::CaptionLink(const std::string& from, const std::string& to, const std::string& caption) {
  return Gesture([&] {
    pending_caption_ = caption;
    process_->Lines()->AddCaptionToLine(from, to);
    return true;
  });
}

std::string DesignSession::RemoveLinks(int from, int to) {
  // Step numbers are 16-bit; a larger one would wrap round to another step.
  auto fits = [](int n) { return n >= INT16_MIN && n <= INT16_MAX; };
  if (!fits(from) || !fits(to)) return "There is no link between " + std::to_string(from) + " and " + std::to_string(to) + ".";
  return Gesture([&] {
    size_t before = refusals_.size();
    process_->Lines()->DeleteLine(static_cast<int16_t>(from), static_cast<int16_t>(to));
    return refusals_.size() == before;
  });
}

std::string DesignSession::SetPayload(int index, const json& payload) {
  auto shapes = process_->Shapes();
  std::string key = shapes->getKeyByIndex(static_cast<int16_t>(index));
  if (key.empty()) throw Refusal{404, "There is no step " + std::to_string(index) + "."};
  int16_t type = shapes->Collection()->Item(key)->objType;
  Payload record;
  try {
    record = PayloadFromJson(type, payload);
  } catch (const VbError& error) {
    // A column mapped twice: the keyed mapping refuses the second.
    return "A column can be mapped only once (" + error.description() + ").";
  } catch (const std::exception& error) {
    throw Refusal{400, error.what()};
  }
  return Gesture([&] {
    shapes->AddElementsToNode(key, record);
    return true;
  });
}

std::string DesignSession::AddFormula(const std::string& name, const std::string& text) {
  return Gesture([&] {
    size_t before = refusals_.size();
    process_->Formulas()->AddFormula(name, text);
    return refusals_.size() == before;
  });
}

std::string DesignSession::SetFormulaText(const std::string& name, const std::string& text) {
  auto formulas = process_->Formulas()->Collection();
  if (!formulas->Contains(name)) return "There is no formula named " + name + ".";
  return Gesture([&] {
    formulas->Item(name).formula = text;
    return true;
  });
}

std::string DesignSession::RenameFormula(const std::string& name, const std::string& new_name) {
  auto formulas = process_->Formulas()->Collection();
  if (!formulas->Contains(name)) return "There is no formula named " + name + ".";
  if (process_->isFormulaUsed(formulas->Item(name).name)) {
    return "The formula " + name + " is used by a mapping; change the mapping first.";
  }
  if (new_name.empty()) return "A formula needs a name.";
  if (formulas->Contains(new_name) && ToLowerAscii(new_name) != ToLowerAscii(name)) {
    return "There is a formula named " + new_name + " already.";
  }
  return Gesture([&] {
    std::string text = formulas->Item(name).formula;
    formulas->Remove(name);
    process_->Formulas()->AddFormula(new_name, text);
    return true;
  });
}

std::string DesignSession::DeleteFormula(const std::string& name) {
  auto formulas = process_->Formulas()->Collection();
  if (!formulas->Contains(name)) return "There is no formula named " + name + ".";
  // isFormulaUsed compares names exactly, as mappings are written.
  if (process_->isFormulaUsed(formulas->Item(name).name)) {
    return "The formula " + name + " is used by a mapping and cannot be deleted.";
  }
  return Gesture([&] {
    formulas->Remove(name);
    return true;
  });
}

json DesignSession::CheckFormula(const std::string& text) {
  std::string error;
  try {
    error = process_->CheckFormula(text);
  } catch (const VbError& e) {
    error = e.description();
  }
  json out = {{"error", error}};
  // The check ends its text with " - On Line " and the line number.
  static const std::string kOnLine = " - On Line ";
  if (auto at = error.rfind(kOnLine); at != std::string::npos) {
    try {
      out["line"] = std::stoi(error.substr(at + kOnLine.size()));
    } catch (const std::exception&) {
      // No number after the marker: the text is shown without a line.
    }
  }
  return out;
}

void DesignSession::Save() {
  if (document_.empty()) throw Refusal{409, "the document has no file name"};
  // The writer replaces the file atomically, through a symbolic link to the
  // file it names, keeping its mode.
  auto log = process_->Log();
  size_t before = log->Text().size();
  process_->SaveIntegration(document_);
  // The writer logs its failures instead of raising them.
  std::string written = log->Text().substr(before);
  if (written.find_first_not_of("\r\n") != std::string::npos) throw Refusal{500, "the document was not saved: " + written};
  dirty_ = false;
}

}  // namespace veldrane::designer

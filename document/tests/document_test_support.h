// Helpers shared by the document tests: temporary folders and files, a
// process shown on an in-memory designer window, and short views of what a
// process holds (steps, links, formulas) that tests compare as a whole.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "engine/cls_process.h"
#include "formulas/c_formulas.h"
#include "model/memory_window.h"

namespace veldrane::testing {

// A folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-doc-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;  // a test that failed halfway may leave anything behind
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The error a call raises; number 0 when it raises nothing.
inline VbError ErrorFrom(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e;
  }
  return VbError(0, "no error");
}

// A process shown on a window whose `process` member returns it.
struct WindowedProcess {
  std::shared_ptr<clsProcess> process = std::make_shared<clsProcess>();
  std::shared_ptr<MemoryWindow> window = std::make_shared<MemoryWindow>();
  WindowedProcess() { window->SetProcess(process); }
};

// "k1 1 START (660,500)" per step, in collection order.
inline std::vector<std::string> StepsOf(clsProcess& p) {
  std::vector<std::string> out;
  for (const std::shared_ptr<cShape>& s : *p.Shapes()->Collection()) {
    std::ostringstream line;
    line << s->Key << " " << s->objType << " " << s->sCaption() << " (" << s->X() << "," << s->Y() << ")";
    out.push_back(line.str());
  }
  return out;
}

// "1>4 yes" per link: its ends and its caption.
inline std::vector<std::string> LinksOf(clsProcess& p) {
  std::vector<std::string> out;
  for (const std::shared_ptr<cLine>& l : *p.Lines()->Collection())
    out.push_back(l->sFrom() + ">" + l->sTo() + " " + l->sCaption());
  return out;
}

// "name=text" per formula.
inline std::vector<std::string> FormulasOf(clsProcess& p) {
  std::vector<std::string> out;
  for (const tFormula& f : *p.Formulas()->Collection()) out.push_back(f.name + "=" + f.formula);
  return out;
}

// One text per payload, so that two processes can be compared step by step.
inline std::vector<std::string> PayloadsOf(clsProcess& p) {
  auto fields = [](const CollectionRef<tFields>& list) {
    if (!list) return std::string("no fields");
    std::string out = "fields:";
    for (int32_t i = 1; i <= list->Count(); ++i) {
      const tFields& f = list->Item(i);
      out += " [" + list->KeyAt(i) + "] " + f.f_name + "/" + std::to_string(f.f_type) + "/" + std::to_string(f.f_size) +
             "/" + f.f_value + "/" + f.f_lookup;
    }
    return out;
  };
  std::vector<std::string> out;
  for (const std::shared_ptr<cShape>& s : *p.Shapes()->Collection()) {
    const Payload& e = s->objElements;
    if (const auto* d = std::get_if<tData>(&e)) {
      out.push_back("data " + d->connName + "|" + d->connString + "|" + d->sourcetype + "|" + d->Source + "|" +
                    fields(d->fields));
    } else if (const auto* t = std::get_if<tStorage>(&e)) {
      out.push_back("storage " + t->connName + "|" + t->connString + "|" + t->targettype + "|" + t->target + "|" +
                    t->shpOperation + "|" + fields(t->fields));
    } else if (const auto* c = std::get_if<tDecission>(&e)) {
      out.push_back("decision " + c->condition);
    } else if (const auto* text = std::get_if<std::string>(&e)) {
      out.push_back("string '" + *text + "'");
    } else {
      out.push_back("none");
    }
  }
  return out;
}

// A document around the given `nodes` children and formula container text.
inline std::string Document(const std::string& nodes, const std::string& formulas = {}) {
  return "<?xml version=\"1.0\"?><veldrane><nodes>" + nodes + "</nodes>" + formulas + "</veldrane>";
}

}  // namespace veldrane::testing

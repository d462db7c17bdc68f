// Integration documents: reading the steps, links and formulas of a flow
// from their XML form, and writing them back. This folder knows the model
// (cShapes, cLines, cFormulas) and the run log it reports into, nothing of
// runs: the process object (engine/) decides when a document is read or
// written and keeps its name.
#pragma once

#include <string>

namespace veldrane {

class cShapes;
class cLines;
class cFormulas;
class clsLog;

// The collections a document is read into or written from.
struct IntegrationModel {
  cShapes& shapes;
  cLines& lines;
  cFormulas& formulas;
};

// Reads `filename` (the default template when empty) into `model`, whose
// collections are empty. Returns "" or the load-error text of a document
// that does not parse. A document that parses but does not fit the format
// raises, naming the place and the cause; what was read before stays.
std::string ReadIntegration(const std::string& filename, IntegrationModel model);

// Writes `model` to `filename`, replacing the file atomically. Every
// failure becomes an entry of `log` and the writer goes on, so that a
// designer never loses more of a document than the part that failed.
void WriteIntegration(const std::string& filename, IntegrationModel model, clsLog& log);

}  // namespace veldrane

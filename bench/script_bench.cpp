// veldrane-bench-script: times the VBScript engine on three workloads and,
// when python3 is on PATH, the same loops in CPython, printing both:
//   1. a 10,000,000-iteration numeric loop,
//   2. a 1,000,000-iteration string-building loop,
//   3. 100,000 evaluations of a small Main formula through AddCode + Eval
//      (the formula text is added before every evaluation, as the record
//      transfer does).
// A benchmark, not a test: it reports figures and never fails on them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "core/object.h"
#include "core/text.h"
#include "vbscript/script_control.h"

using namespace veldrane;

namespace {

constexpr const char* kNumericLoop =
    "Dim i, s\n"
    "s = 0\n"
    "For i = 1 To 10000000\n"
    "  s = s + i Mod 7\n"
    "Next\n";

constexpr const char* kStringLoop =
    "Dim i, s\n"
    "s = \"\"\n"
    "For i = 1 To 1000000\n"
    "  s = s & \"ab\"\n"
    "Next\n";

constexpr const char* kFormula =
    "Function Main()\n"
    "  Main = SOURCE(\"AMOUNT\") * 2 + Len(SOURCE(\"NAME\"))\n"
    "End Function\n";

constexpr int kFormulaRuns = 100000;

// A stand-in for a step's recordset: its default member reads a column.
class Row final : public Object {
 public:
  std::string TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view name, InvokeKind, Args args) override {
    if (!name.empty()) throw VbError::NotSupported(name);
    ExpectArgs(args, 1, 1);
    std::string column = args[0].ToString();
    if (IEquals(column, "AMOUNT")) return Variant(static_cast<int32_t>(1234));
    if (IEquals(column, "NAME")) return Variant("customer");
    throw VbError(3265);
  }
};

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double TimeScript(const char* code) {
  vbs::ScriptControl control;
  auto start = std::chrono::steady_clock::now();
  control.AddCode(code);
  return Seconds(start);
}

double TimeFormula() {
  vbs::ScriptControl control;
  control.AddObject("SOURCE", Variant(ObjectRef(std::make_shared<Row>())));
  auto start = std::chrono::steady_clock::now();
  Variant last;
  for (int i = 0; i < kFormulaRuns; ++i) {
    control.AddCode(kFormula);
    last = control.Eval("Main");
  }
  double t = Seconds(start);
  if (last.ToLong() != 1234 * 2 + 8) std::cerr << "unexpected formula result " << last.ToString() << "\n";
  return t;
}

constexpr const char* kPython = R"PY(
import time
def timed(src, env):
    t = time.perf_counter()
    exec(src, env)
    return time.perf_counter() - t
numeric = "s = 0\nfor i in range(1, 10000001):\n    s = s + i % 7\n"
strings = "s = ''\nfor i in range(1, 1000001):\n    s = s + 'ab'\n"
print(timed(numeric, {}))
print(timed(strings, {}))
formula = "def Main():\n    return SOURCE['AMOUNT'] * 2 + len(SOURCE['NAME'])\n"
env = {'SOURCE': {'AMOUNT': 1234, 'NAME': 'customer'}}
t = time.perf_counter()
for _ in range(100000):
    exec(formula, env)
    env['Main']()
print(time.perf_counter() - t)
)PY";

bool HavePython() { return std::system("command -v python3 > /dev/null 2>&1") == 0; }

}  // namespace

int main() {
  double numeric = TimeScript(kNumericLoop);
  double strings = TimeScript(kStringLoop);
  double formula = TimeFormula();
  std::printf("%-44s %10s %10s\n", "workload", "veldrane", "python3");
  double py[3] = {-1, -1, -1};
  if (HavePython()) {
    std::string path = "/tmp/veldrane-bench-script.py";
    std::ofstream(path) << kPython;
    if (FILE* p = popen(("python3 " + path).c_str(), "r")) {
      for (double& v : py) {
        if (std::fscanf(p, "%lf", &v) != 1) v = -1;
      }
      pclose(p);
    }
    std::remove(path.c_str());
  }
  auto row = [](const char* name, double ours, double theirs) {
    if (theirs >= 0) std::printf("%-44s %9.3fs %9.3fs\n", name, ours, theirs);
    else std::printf("%-44s %9.3fs %10s\n", name, ours, "n/a");
  };
  row("numeric loop, 10,000,000 iterations", numeric, py[0]);
  row("string building, 1,000,000 appends", strings, py[1]);
  row("AddCode + Eval(\"Main\"), 100,000 times", formula, py[2]);
  return 0;
}

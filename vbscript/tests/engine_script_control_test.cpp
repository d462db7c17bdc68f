// The script-control face as the formula evaluator uses it: named host
// objects with default members, host error numbers passing through, Reset,
// redefinition of Main, the SQLExecute bridge text, and the parse cache.
#include <gtest/gtest.h>
#include <pthread.h>

#include <map>
#include <stdexcept>
#include <thread>

#include "core/collection.h"
#include "core/object.h"
#include "core/text.h"
#include "vbscript/interpreter.h"
#include "vbscript/objects/deep_stack.h"
#include "vbscript/script_control.h"

namespace veldrane::vbs {
namespace {

// A field: Value is its default member.
class FakeField final : public Object {
 public:
  explicit FakeField(Variant v) : value_(std::move(v)) {}
  std::string TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (!name.empty() && !IEquals(name, "Value")) throw VbError::NotSupported(name);
    if (kind == InvokeKind::Get) {
      ExpectArgs(args, 0, 0);
      return value_;
    }
    ExpectArgs(args, 1, 1);
    value_ = args[0];
    return Variant();
  }
  Variant value_;
};

// A recordset positioned on one row: rs("F") and rs.Fields("F").Value; with
// no row, reading a field fails with 3021 as the database layer does.
class FakeRecordset final : public Object {
 public:
  std::string TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (IEquals(name, "Fields") && args.empty()) return Variant(ObjectRef(fields_));
    if (name.empty() || IEquals(name, "Fields")) {
      ExpectArgs(args, 1, 2);
      if (!has_row) throw VbError(vberr::kNoCurrentRecord, "", "Provider");
      ObjectRef field = fields_->Item(args[0]);
      if (kind != InvokeKind::Get) {
        field->Let("Value", args[1]);
        return Variant();
      }
      return Variant(field);
    }
    if (IEquals(name, "EOF")) return Variant(!has_row);
    throw VbError::NotSupported(name);
  }
  void Set(const std::string& column, Variant v) { fields_->Add(std::make_shared<FakeField>(std::move(v)), column); }
  bool has_row = true;

 private:
  CollectionRef<ObjectRef> fields_ = NewCollection<ObjectRef>();
};

// A step: ExecuteSql records the query and answers from a table.
class FakeStep final : public Object {
 public:
  std::string TypeName() const override { return "cShape"; }
  Variant Invoke(std::string_view name, InvokeKind, Args args) override {
    if (!IEquals(name, "ExecuteSql")) throw VbError::NotSupported(name);
    ExpectArgs(args, 2, 2);
    last_sql = args[0].ToString();
    if (fail_with) throw VbError(fail_with, "", "Provider");
    return answers[args[1].ToString()];
  }
  std::string last_sql;
  std::map<std::string, Variant> answers;
  int32_t fail_with = 0;
};

// The bridge text exactly as the process injects it: lines joined by a lone CR.
const char* const kSqlExecute =
    "Private Function SQLExecute(Step, sql, FIELD)\r"
    "   Dim returnVal\r"
    "   Dim strField \r"
    "   Dim strSql  \r"
    "   strSql = sql\r"
    "   strField = FIELD   \r"
    "   SQLExecute =  Steps(Step).ExecuteSql(strSql,strField)\r"
    "End Function";

class ScriptControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = std::make_shared<FakeRecordset>();
    source->Set("CUSTNO", Variant(static_cast<int32_t>(4711)));
    source->Set("NAME", Variant("Smith"));
    step = std::make_shared<FakeStep>();
    steps = NewCollection<ObjectRef>();
    steps->Add(step, "SOURCE");
    control.AddObject("SOURCE", Variant(ObjectRef(source)));
    control.AddObject("Steps", Variant(ObjectRef(steps)));
  }
  ScriptControl control;
  std::shared_ptr<FakeRecordset> source;
  std::shared_ptr<FakeStep> step;
  CollectionRef<ObjectRef> steps;
};

TEST_F(ScriptControlTest, HostObjectsAreReachedByNameAndDefaultMember) {
  EXPECT_EQ(control.Language(), "VBScript");
  EXPECT_EQ(control.Eval("SOURCE(\"CUSTNO\") + 1").ToLong(), 4712);
  EXPECT_EQ(control.Eval("source.Fields(\"name\").Value & \"!\"").ToString(), "Smith!");
  EXPECT_EQ(control.Eval("source.fields(\"NAME\")").ToString(), "Smith");  // field object read by value
  control.AddCode("Sub Rename(n)\n  SOURCE(\"NAME\") = n\nEnd Sub\nRename \"Jones\"");
  EXPECT_EQ(control.Eval("SOURCE(\"NAME\")").ToString(), "Jones");
  // Reference contexts keep the object.
  Variant field = control.Eval("SOURCE.Fields(\"NAME\")");
  ASSERT_TRUE(field.IsObject());
  EXPECT_EQ(field.AsObject()->TypeName(), "Field");
}

TEST_F(ScriptControlTest, NamedObjectsMustBeWritableNamesAndAddedOnce) {
  auto other = std::make_shared<FakeRecordset>();
  for (const char* bad : {"My Step", "1st", "", "Dim", "a-b"}) {
    try {
      control.AddObject(bad, Variant(ObjectRef(other)));
      ADD_FAILURE() << "accepted " << bad;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5) << bad;
    }
  }
  try {
    control.AddObject("source", Variant(ObjectRef(other)));
    ADD_FAILURE() << "accepted a second SOURCE";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 457);
  }
  EXPECT_EQ(control.Eval("SOURCE(\"CUSTNO\")").ToLong(), 4711);  // the first one stays
  control.AddObject("Step_2", Variant(ObjectRef(other)));      // underscores and digits are fine
  int count = 0;
  control.AddCode("n = 0\nFor Each s In Steps\n  n = n + 1\nNext");
  count = control.Eval("n").ToLong();
  EXPECT_EQ(count, 1);
}

TEST_F(ScriptControlTest, SqlExecuteBridgeCallsTheStepByCaptionOrPosition) {
  step->answers["TOTAL"] = Variant(99.5);
  control.AddCode(kSqlExecute);
  control.AddCode("Function Main()\n  Main = SQLExecute(\"SOURCE\", \"SELECT SUM(X) AS TOTAL FROM T\", \"TOTAL\")\nEnd Function");
  Variant v = control.Eval("Main");
  EXPECT_EQ(v.ToDouble(), 99.5);
  EXPECT_EQ(step->last_sql, "SELECT SUM(X) AS TOTAL FROM T");
  EXPECT_EQ(control.Eval("SQLExecute(1, \"Q\", \"TOTAL\")").ToDouble(), 99.5);
  EXPECT_EQ(step->last_sql, "Q");
}

TEST_F(ScriptControlTest, HostErrorNumberReachesTheCallerWithItsLine) {
  control.AddCode(kSqlExecute);
  control.AddCode("Function Main()\n  Main = SQLExecute(\"SOURCE\", \"x\", \"F\")\nEnd Function");
  step->fail_with = vberr::kNoCurrentRecord;
  try {
    control.Eval("Main");
    FAIL() << "expected an error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 3021);
  }
  const ScriptError& err = control.Error();
  EXPECT_EQ(err.Number, 3021);
  EXPECT_EQ(err.Source, "Provider");
  EXPECT_EQ(err.Description, VbError::StandardDescription(3021));
  EXPECT_EQ(err.Line, 7);
  EXPECT_EQ(err.Text, "   SQLExecute =  Steps(Step).ExecuteSql(strSql,strField)");

  // The same through a default member read of a recordset without rows.
  source->has_row = false;
  EXPECT_THROW(control.AddCode("x = 1\ny = SOURCE(\"CUSTNO\")"), VbError);
  EXPECT_EQ(control.Error().Number, 3021);
  EXPECT_EQ(control.Error().Line, 2);
  EXPECT_EQ(control.Error().Column, 1);
  EXPECT_EQ(control.Error().Text, "y = SOURCE(\"CUSTNO\")");
}

// A host that fails with an HRESULT-shaped number or a C++ exception of its own.
class Thrower final : public Object {
 public:
  std::string TypeName() const override { return "Thrower"; }
  Variant Invoke(std::string_view name, InvokeKind, Args) override {
    if (IEquals(name, "Hresult")) throw VbError(static_cast<int32_t>(0x800A000Du), "Type mismatch", "Host");
    if (IEquals(name, "Cpp")) throw std::out_of_range("index 7 past the end");
    if (IEquals(name, "Memory")) throw VbError(static_cast<int32_t>(0x8007000Eu), "", "Host");
    if (IEquals(name, "Provider")) throw VbError(vberr::kProviderCommandError, "near FROM", "Provider");
    throw VbError::NotSupported(name);
  }
};

TEST_F(ScriptControlTest, HostFailuresOfOtherShapesBecomeScriptErrors) {
  control.AddObject("Host", Variant(ObjectRef(std::make_shared<Thrower>())));
  EXPECT_THROW(control.Eval("Host.Hresult"), VbError);
  EXPECT_EQ(control.Error().Number, 13);  // &H800A000D surfaces as 13
  EXPECT_EQ(control.Error().Source, "Host");
  // A platform code with a VBScript number of its own takes it and its text;
  // other failure codes pass unchanged.
  EXPECT_THROW(control.Eval("Host.Memory"), VbError);
  EXPECT_EQ(control.Error().Number, 7);
  EXPECT_EQ(control.Error().Description, "Out of memory");
  EXPECT_THROW(control.Eval("Host.Provider"), VbError);
  EXPECT_EQ(control.Error().Number, vberr::kProviderCommandError);
  EXPECT_EQ(control.Error().Description, "near FROM");
  EXPECT_THROW(control.AddCode("x = Host.Cpp"), VbError);
  EXPECT_EQ(control.Error().Number, 51);
  EXPECT_EQ(control.Error().Line, 1);
  EXPECT_THROW(control.Eval("Host.Cpp"), VbError);
  EXPECT_EQ(control.Error().Number, 51);
  EXPECT_EQ(control.Error().Description, "index 7 past the end");
  // Under Resume Next the script goes on and Err holds the failure.
  control.AddCode("On Error Resume Next\nx = Host.Nope\nn = Err.Number");
  EXPECT_EQ(control.Eval("n").ToLong(), 438);
}

// A host method that writes its arguments, as ByRef parameters of a host do.
class Incrementer final : public Object {
 public:
  std::string TypeName() const override { return "Incrementer"; }
  Variant Invoke(std::string_view name, InvokeKind, Args args) override {
    if (!IEquals(name, "Bump")) throw VbError::NotSupported(name);
    for (Variant& a : args) a = Variant(a.ToLong() + 1);
    return Variant(static_cast<int32_t>(args.size()));
  }
};

TEST_F(ScriptControlTest, HostMethodsWriteBackIntoVariablesPassedToThem) {
  control.AddObject("Host", Variant(ObjectRef(std::make_shared<Incrementer>())));
  control.AddCode(
      "Dim a, b, arr(1)\na = 1 : b = 10\n"
      "Host.Bump a, b\n"        // both variables are written back
      "Host.Bump (a), b + 0\n"  // a value in parentheses and an expression are not
      "Sub InProc()\n  Dim c\n  c = 100\n  Host.Bump c\n  arr(0) = c\nEnd Sub\nInProc");
  EXPECT_EQ(control.Eval("a").ToLong(), 2);
  EXPECT_EQ(control.Eval("b").ToLong(), 11);
  EXPECT_EQ(control.Eval("arr(0)").ToLong(), 101);
}

TEST_F(ScriptControlTest, SyntaxErrorFillsTheErrorObjectAndRunsNothing) {
  EXPECT_THROW(control.AddCode("x = 1\nFunction Main()\n  Main = (1 + \nEnd Function"), VbError);
  const ScriptError& err = control.Error();
  EXPECT_EQ(err.Number, 1002);
  EXPECT_EQ(err.Description, "Syntax error");
  EXPECT_EQ(err.Source, "Microsoft VBScript compilation error");
  EXPECT_EQ(err.Line, 3);
  EXPECT_EQ(err.Text, "  Main = (1 + ");
  EXPECT_TRUE(control.Eval("IsEmpty(x)").ToBool());  // the first line never ran

  // A later success clears the error.
  EXPECT_EQ(control.Eval("1 + 1").ToLong(), 2);
  EXPECT_EQ(control.Error().Number, 0);
}

TEST_F(ScriptControlTest, LaterMainReplacesEarlierOneAndFormulasWithoutMainUseTheLastOne) {
  control.AddCode("Function Main()\n  Main = \"first\"\nEnd Function");
  EXPECT_EQ(control.Eval("Main").ToString(), "first");
  control.AddCode("Function Main()\n  Main = SOURCE(\"NAME\")\nEnd Function");
  EXPECT_EQ(control.Eval("Main").ToString(), "Smith");
  control.AddCode("Dim unrelated");
  EXPECT_EQ(control.Eval("Main").ToString(), "Smith");
}

TEST_F(ScriptControlTest, ResetRemovesCodeVariablesAndNamedObjects) {
  control.AddCode("Dim counter\ncounter = 5\nFunction Main()\n  Main = counter\nEnd Function");
  EXPECT_EQ(control.Eval("Main").ToLong(), 5);
  control.Reset();
  EXPECT_THROW(control.Eval("Main()"), VbError);
  EXPECT_EQ(control.Error().Number, 13);  // an undefined procedure is a type mismatch
  EXPECT_TRUE(control.Eval("IsEmpty(counter)").ToBool());
  EXPECT_THROW(control.Eval("SOURCE(\"CUSTNO\")"), VbError);
  // The same text added again after a Reset works as before (cached or not).
  control.AddObject("SOURCE", Variant(ObjectRef(source)));
  control.AddCode("Dim counter\ncounter = 5\nFunction Main()\n  Main = counter\nEnd Function");
  EXPECT_EQ(control.Eval("Main").ToLong(), 5);
}

TEST_F(ScriptControlTest, CachedTextGivesTheSameResultsAndErrorsAsAFreshOne) {
  const std::string formula = "Function Main()\n  Main = SOURCE(\"CUSTNO\") * 2\nEnd Function";
  const std::string broken = "Function Main()\n  Main = 1 +* 2\nEnd Function";
  const std::string failing = "Function Main()\n  Main = 1 / Zero\nEnd Function";
  for (int round = 0; round < 3; ++round) {
    control.AddCode(formula);
    EXPECT_EQ(control.Eval("Main").ToLong(), 9422);
    EXPECT_THROW(control.AddCode(broken), VbError);
    ScriptError syntax = control.Error();
    EXPECT_EQ(syntax.Number, 1002);
    EXPECT_EQ(syntax.Line, 2);
    EXPECT_EQ(syntax.Column, 13);
    control.AddCode(failing);
    EXPECT_THROW(control.Eval("Main"), VbError);
    EXPECT_EQ(control.Error().Number, 11);
    EXPECT_EQ(control.Error().Text, "  Main = 1 / Zero");
    control.Reset();
    control.AddObject("SOURCE", Variant(ObjectRef(source)));
  }
  EXPECT_GT(control.interpreter().cached_texts(), 0u);
}

TEST_F(ScriptControlTest, OptionExplicitBelongsToItsOwnText) {
  EXPECT_THROW(control.AddCode("Option Explicit\nundeclared = 1"), VbError);
  EXPECT_EQ(control.Error().Number, 500);
  EXPECT_EQ(control.Error().Description, "Variable is undefined: 'undeclared'");
  control.AddCode("other = 2");
  EXPECT_EQ(control.Eval("other").ToLong(), 2);
}

TEST_F(ScriptControlTest, ScriptObjectsWorkFromTheHostSide) {
  control.AddCode(
      "Class Money\n"
      "  Public Amount\n"
      "  Public Default Property Get Text()\n"
      "    Text = FormatNumber(Amount, 2)\n"
      "  End Property\n"
      "  Public Function Twice()\n"
      "    Twice = Amount * 2\n"
      "  End Function\n"
      "End Class\n"
      "Set m = New Money\n"
      "m.Amount = 21\n");
  Variant m = control.Eval("m");
  ASSERT_TRUE(m.IsObject());
  EXPECT_EQ(m.AsObject()->TypeName(), "Money");
  EXPECT_EQ(m.AsObject()->Call("Twice", {}).ToLong(), 42);
  m.AsObject()->Let("Amount", Variant(static_cast<int16_t>(5)));
  EXPECT_EQ(control.Eval("m.Amount").ToLong(), 5);
  EXPECT_THROW(m.AsObject()->Get("Missing"), VbError);
}

TEST(ScriptControlThreads, OneEnginePerThread) {
  ScriptControl* mine = &ScriptControl::ForThread();
  EXPECT_EQ(mine, &ScriptControl::ForThread());
  mine->AddCode("shared = 1");
  ScriptControl* other = nullptr;
  bool other_sees_empty = false;
  std::thread t([&] {
    other = &ScriptControl::ForThread();
    other_sees_empty = other->Eval("IsEmpty(shared)").ToBool();
  });
  t.join();
  EXPECT_NE(mine, other);
  EXPECT_TRUE(other_sees_empty);
  mine->Reset();
}

TEST(ScriptControlTerminate, ResetReleasesScriptObjects) {
  ScriptControl control;
  auto log = NewCollection<Variant>();
  control.AddObject("Log", Variant(ObjectRef(log)));
  control.AddCode(
      "Class Tracked\n"
      "  Private Sub Class_Terminate()\n"
      "    Log.Add \"gone\"\n"
      "  End Sub\n"
      "End Class\n"
      "Set keep = New Tracked\n");
  EXPECT_EQ(log->Count(), 0);
  control.Reset();
  EXPECT_EQ(log->Count(), 1);
}

}  // namespace
}  // namespace veldrane::vbs

namespace veldrane::vbs {
namespace {

// Runs a runaway recursion on a thread with a small stack: the engine must
// stop it with error 28 before the stack runs out.
void* RunawayRecursion(void* result) {
  ScriptControl control;
  try {
    control.AddCode("Function Down(n)\n  Down = Down(n + 1) + 1\nEnd Function\nx = Down(1)");
  } catch (const VbError& e) {
    *static_cast<int32_t*>(result) = e.number();
  }
  return nullptr;
}

TEST(ScriptControlStack, RecursionStopsBeforeASmallThreadStackRunsOut) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 384 * 1024);
  int32_t number = 0;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, RunawayRecursion, &number), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(number, 28);
}

TEST(ScriptControlStack, PlainRecursionReachesTheDepthLimitOnARoomyStack) {
  RunOnStack(size_t{64} << 20, [] {
    ScriptControl control;
    control.AddCode("Function Down(n)\n  If n <= 0 Then\n    Down = 0\n  Else\n    Down = Down(n - 1) + 1\n  End If\nEnd Function");
    EXPECT_EQ(control.Eval("Down(10000)").ToLong(), 10000);
    int depth = Interpreter::kMaxDepth;
    EXPECT_EQ(control.Eval("Down(" + std::to_string(depth - 1) + ")").ToLong(), depth - 1);
    EXPECT_THROW(control.Eval("Down(" + std::to_string(depth) + ")"), VbError);
    EXPECT_EQ(control.Error().Number, 28);
  });
}

}  // namespace
}  // namespace veldrane::vbs

#include "platform/host/prompts.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/host/connection_string.h"

namespace veldrane::host {
namespace {

struct Terminal {
  explicit Terminal(std::string input) : in(std::move(input)), prompts(in, out) {}
  std::istringstream in;
  std::ostringstream out;
  TerminalPrompts prompts;
};

TEST(TerminalPrompts, MessageBoxAnswersByButtonAndCancelsAtEndOfInput) {
  Terminal ok("\n");
  EXPECT_EQ(ok.prompts.MsgBox("Line one\r\nLine two", vbOKOnly | vbCritical, "Error"), vbOK);
  EXPECT_NE(ok.out.str().find("Error (Critical)"), std::string::npos) << ok.out.str();
  EXPECT_NE(ok.out.str().find("Line one\nLine two"), std::string::npos) << ok.out.str();

  Terminal no("maybe\nn\n");
  EXPECT_EQ(no.prompts.MsgBox("Sure?", vbYesNo, ""), vbNo);
  EXPECT_NE(no.out.str().find("Please answer Yes/No"), std::string::npos);
  EXPECT_NE(no.out.str().find(kDefaultTitle), std::string::npos);

  Terminal enter("\n");
  EXPECT_EQ(enter.prompts.MsgBox("Sure?", vbYesNo | 256, ""), vbNo);  // second button is default

  Terminal closed("");
  EXPECT_EQ(closed.prompts.MsgBox("Save?", vbYesNoCancel, ""), vbCancel);
  Terminal closed_yes_no("");
  EXPECT_EQ(closed_yes_no.prompts.MsgBox("Delete?", vbYesNo, ""), vbNo);
}

TEST(TerminalPrompts, InputBoxOffersTheDefaultAndCancelsToEmpty) {
  Terminal typed("orders\n");
  EXPECT_EQ(typed.prompts.InputBox("Connection Name", "Veldrane", "old"), "orders");
  EXPECT_NE(typed.out.str().find("Connection Name [old]: "), std::string::npos);
  Terminal kept("\n");
  EXPECT_EQ(kept.prompts.InputBox("Connection Name", "Veldrane", "old"), "old");
  Terminal cancelled("");
  EXPECT_EQ(cancelled.prompts.InputBox("Connection Name", "Veldrane", "old"), "");
}

TEST(TerminalPrompts, DataLinkBuildsAStringForEachProvider) {
  Terminal sqlite("1\n/data/shop.db\n");
  EXPECT_EQ(sqlite.prompts.PromptNew().value_or("?"), "Provider=SQLite;Data Source=/data/shop.db");

  // Enter takes the offered host and port; empty fields are left out.
  Terminal pg("PostgreSQL\n\n\nshop\nalice\n\n");
  EXPECT_EQ(pg.prompts.PromptNew().value_or("?"), "Provider=PostgreSQL;Host=localhost;Port=5432;Database=shop;User ID=alice");

  Terminal quoted("1\n/data/a;b.db\n");
  std::string built = quoted.prompts.PromptNew().value_or("?");
  EXPECT_EQ(FindPart(ParseConnectionString(built), "Data Source").value_or("?"), "/data/a;b.db");

  Terminal wrong_then_cancel("7\n");
  EXPECT_FALSE(wrong_then_cancel.prompts.PromptNew().has_value());
  Terminal cancel_midway("2\ndbhost\n");
  EXPECT_FALSE(cancel_midway.prompts.PromptNew().has_value());
}

TEST(TerminalPrompts, DataLinkEditOffersCurrentValuesAndKeepsOtherKeys) {
  std::string conn = "Provider=PostgreSQL;Host=db1;Port=5433;Database=shop;User ID=bob;Password=pw;Connect Timeout=5;";
  Terminal edit("\n\n\nsales\n\n\n");
  ASSERT_TRUE(edit.prompts.PromptEdit(conn));
  EXPECT_EQ(conn, "Provider=PostgreSQL;Host=db1;Port=5433;Database=sales;User ID=bob;Password=pw;Connect Timeout=5");

  std::string unchanged = "Provider=SQLite;Data Source=a.db;";
  Terminal cancelled("\n");
  EXPECT_FALSE(cancelled.prompts.PromptEdit(unchanged));
  EXPECT_EQ(unchanged, "Provider=SQLite;Data Source=a.db;");

  // A provider the form does not know is edited as text.
  std::string other = "Provider=SLXOLEDB.1;Data Source=crm;";
  Terminal as_text("\nProvider=SLXOLEDB.1;Data Source=crm2\n");
  ASSERT_TRUE(as_text.prompts.PromptEdit(other));
  EXPECT_EQ(other, "Provider=SLXOLEDB.1;Data Source=crm2");
}

// The ODBC page, with the lists a driver manager might give.
struct OdbcTerminal {
  explicit OdbcTerminal(std::string input)
      : in(std::move(input)),
        prompts(in, out,
                {[] { return std::vector<std::string>{"MariaDB Unicode", "SQLite3"}; },
                 [] { return std::vector<std::pair<std::string, std::string>>{{"crm", "MariaDB Unicode"}}; }}) {}
  std::istringstream in;
  std::ostringstream out;
  TerminalPrompts prompts;
};

TEST(TerminalPrompts, DataLinkBuildsOdbcStringsFromInstalledSourcesAndDrivers) {
  OdbcTerminal dsn("ODBC\n1\nann\nsecret\n");
  EXPECT_EQ(dsn.prompts.PromptNew().value_or("?"), "Provider=MSDASQL;DSN=crm;UID=ann;PWD=secret");
  EXPECT_NE(dsn.out.str().find("1) crm (MariaDB Unicode)"), std::string::npos) << dsn.out.str();

  OdbcTerminal driver("3\nMariaDB Unicode\ndb1\n\nshop\nbob\n\n");
  EXPECT_EQ(driver.prompts.PromptNew().value_or("?"),
            "Provider=MSDASQL;Driver={MariaDB Unicode};Server=db1;Database=shop;UID=bob");

  // Editing keeps the password without showing it, and keys the page does not ask.
  std::string conn = "Provider=MSDASQL;DSN=crm;UID=ann;PWD=s3cret-pw;OPTION=3";
  OdbcTerminal edit("\n\ncarl\n\n");
  ASSERT_TRUE(edit.prompts.PromptEdit(conn));
  EXPECT_EQ(conn, "Provider=MSDASQL;DSN=crm;UID=carl;PWD=s3cret-pw;OPTION=3");
  EXPECT_EQ(edit.out.str().find("s3cret-pw]"), std::string::npos) << edit.out.str();

  // Nothing installed: the string is written as text.
  Terminal none("3\nProvider=MSDASQL;DSN=elsewhere\n");
  EXPECT_EQ(none.prompts.PromptNew().value_or("?"), "Provider=MSDASQL;DSN=elsewhere");
  EXPECT_NE(none.out.str().find("No ODBC driver"), std::string::npos);
}

TEST(NonInteractivePrompts, WritesMessagesAndCancelsQuestions) {
  std::ostringstream err;
  NonInteractivePrompts prompts(err);
  EXPECT_EQ(prompts.MsgBox("Error Opening File", vbCritical, "Error"), vbOK);
  EXPECT_EQ(prompts.MsgBox("Go on?", vbYesNo, ""), vbYes);
  EXPECT_EQ(err.str(), "Error: Error Opening File\n" + std::string(kDefaultTitle) + ": Go on?\n");
  EXPECT_EQ(prompts.InputBox("Name", "", "x"), "");
  EXPECT_FALSE(prompts.PromptNew().has_value());
  std::string conn = "Provider=SQLite;Data Source=a.db";
  EXPECT_FALSE(prompts.PromptEdit(conn));
  EXPECT_EQ(conn, "Provider=SQLite;Data Source=a.db");
}

TEST(ScriptedPrompts, AnswersFromQueuesAndRecordsCalls) {
  ScriptedPrompts prompts;
  prompts.QueueMsgBox(vbNo);
  prompts.QueueInput("orders");
  prompts.QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=b.db"));
  prompts.QueueDialog(VbError(3706));
  EXPECT_EQ(prompts.MsgBox("Sure?", vbYesNo, "T"), vbNo);
  EXPECT_EQ(prompts.MsgBox("Again?", vbYesNo, "T"), vbYes);  // queue empty: first button
  EXPECT_EQ(prompts.InputBox("Name", "Title", "def"), "orders");
  std::string conn = "Provider=SQLite;Data Source=a.db;";
  EXPECT_TRUE(prompts.PromptEdit(conn));
  EXPECT_EQ(conn, "Provider=SQLite;Data Source=b.db");
  try {
    prompts.PromptNew();
    FAIL() << "expected the queued failure";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 3706);
  }
  EXPECT_FALSE(prompts.PromptNew().has_value());
  ASSERT_EQ(prompts.calls.size(), 6u);
  EXPECT_EQ(prompts.calls[2].kind, ScriptedPrompts::Kind::InputBox);
  EXPECT_EQ(prompts.calls[2].text, "def");
  EXPECT_EQ(prompts.calls[3].prompt, "Provider=SQLite;Data Source=a.db;");
}

TEST(CurrentPrompts, InstalledPromptsReplaceTheDefault) {
  auto scripted = std::make_shared<ScriptedPrompts>();
  SetCurrentPrompts(scripted);
  EXPECT_EQ(CurrentPrompts().get(), scripted.get());
  SetCurrentPrompts(nullptr);
  EXPECT_NE(CurrentPrompts().get(), scripted.get());
}

TEST(CurrentPrompts, WithoutAHostsPromptsNobodyIsAskedAndNothingIsWritten) {
  SetCurrentPrompts(nullptr);
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(CurrentPrompts()->MsgBox("Error Opening File", vbYesNo | vbCritical, ""), vbYes);
  EXPECT_EQ(CurrentPrompts()->InputBox("Name?", "", "x"), "");
  EXPECT_FALSE(CurrentPrompts()->PromptNew().has_value());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(ConnectionString, ParsesQuotedValuesAndBuildsThemBack) {
  auto parts = ParseConnectionString(
      "Provider=SQLite; Data Source = \"C:\\a;b.db\" ;;Password='it''s';Flag;Extended Properties=\"say \"\"hi\"\"\";");
  ASSERT_EQ(parts.size(), 5u);
  EXPECT_EQ(parts[1].key, "Data Source");
  EXPECT_EQ(parts[1].value, "C:\\a;b.db");
  EXPECT_EQ(parts[2].value, "it's");
  EXPECT_EQ(parts[3].key, "Flag");
  EXPECT_EQ(parts[3].value, "");
  EXPECT_EQ(parts[4].value, "say \"hi\"");
  auto again = ParseConnectionString(BuildConnectionString(parts));
  ASSERT_EQ(again.size(), parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_EQ(again[i].key, parts[i].key);
    EXPECT_EQ(again[i].value, parts[i].value);
  }
  // Tabs at either end are blanks the reader trims: the writer quotes them.
  std::vector<ConnectionStringPart> tabbed{{"Password", "pw\t"}, {"Name", "\tlead"}};
  auto tabbed_again = ParseConnectionString(BuildConnectionString(tabbed));
  ASSERT_EQ(tabbed_again.size(), 2u);
  EXPECT_EQ(tabbed_again[0].value, "pw\t");
  EXPECT_EQ(tabbed_again[1].value, "\tlead");
  EXPECT_EQ(FindPart(parts, "data source").value_or("?"), "C:\\a;b.db");
  EXPECT_FALSE(FindPart(parts, "Host").has_value());
}

}  // namespace
}  // namespace veldrane::host

// Prompts: the modal conversations the library holds with a user — the
// message box, the input box and the data-link dialog that builds a
// connection string.
//
// The library never talks to a screen itself; every such call goes through
// the process-wide current Prompts, which the host installs. Three
// implementations ship: the terminal (asks on standard input, writes to
// standard error), the non-interactive one for services and CI (a message is
// written to a stream of the host's choosing and answered with its first
// button, every question is cancelled), and ScriptedPrompts, a test double
// that answers from queues and records what it was asked. A host that
// installs none gets the non-interactive one writing nowhere.
#pragma once

#include <deque>
#include <iosfwd>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/vb_error.h"

namespace veldrane::host {

// Message box buttons (low bits) and icons, with the platform's values.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// Message box results.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// The title a message box shows when the caller gives none.
inline constexpr const char* kDefaultTitle = "VeldraneApi";

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows `prompt` with the buttons and icon of `buttons`; returns the
  // button chosen (vbOK, vbYes, ...). An empty title is the default title.
  virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
  // Asks for a line of text, offering `default_text`; returns the text, or
  // "" when the user cancels (as the platform's input box does).
  virtual std::string InputBox(const std::string& prompt, const std::string& title,
                               const std::string& default_text) = 0;
  // The data-link dialog for a new data source: the connection string built
  // (without a trailing ";"), or nullopt when the user cancels. Raises
  // VbError when the dialog itself fails.
  virtual std::optional<std::string> PromptNew() = 0;
  // The data-link dialog on an existing connection string, changed in place;
  // returns true when the user confirmed. A cancelled dialog leaves
  // `connection_string` as it was. Raises VbError when the dialog fails.
  virtual bool PromptEdit(std::string& connection_string) = 0;
};

// Asks on a terminal: reads answers from `in`, writes questions to `out`.
// End of input cancels the question being asked.
// What the machine's ODBC driver manager offers the data-link dialog:
// the installed drivers and the data sources (name, driver). Supplied by
// the host, which reaches the driver manager; empty lists when unset.
struct OdbcChoices {
  std::function<std::vector<std::string>()> drivers;
  std::function<std::vector<std::pair<std::string, std::string>>()> data_sources;
};

class TerminalPrompts : public Prompts {
 public:
  TerminalPrompts(std::istream& in, std::ostream& out, OdbcChoices odbc = {});
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title, const std::string& default_text) override;
  std::optional<std::string> PromptNew() override;
  bool PromptEdit(std::string& connection_string) override;

 private:
  std::optional<std::string> ReadLine();
  std::optional<std::string> Ask(const std::string& question, const std::string& default_value);
  std::optional<std::string> RunDataLink(const std::string& current);
  // The ODBC page: a data source or a driver, then what it needs.
  std::optional<std::string> RunOdbcForm(const std::string& current, bool same_provider);

  std::istream& in_;
  std::ostream& out_;
  OdbcChoices odbc_;
};

// For processes without a user: writes each message to `out` and answers it
// with its first button; input boxes and dialogs are cancelled.
class NonInteractivePrompts : public Prompts {
 public:
  explicit NonInteractivePrompts(std::ostream& out);
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title, const std::string& default_text) override;
  std::optional<std::string> PromptNew() override;
  bool PromptEdit(std::string& connection_string) override;

 private:
  std::ostream& out_;
};

// A test double: answers from queues filled by the test, records every call.
// With a queue empty it answers as NonInteractivePrompts does (first button,
// cancelled), so a test sees unexpected questions in `calls`.
class ScriptedPrompts : public Prompts {
 public:
  enum class Kind { MsgBox, InputBox, PromptNew, PromptEdit };
  struct Call {
    Kind kind;
    std::string prompt;  // MsgBox, InputBox; PromptEdit: the string given
    std::string title;   // MsgBox, InputBox (as passed, possibly empty)
    std::string text;    // InputBox: the default text
    int buttons = 0;     // MsgBox
  };
  // A dialog answer: a connection string, cancel (nullopt) or a failure.
  using DialogAnswer = std::variant<std::optional<std::string>, VbError>;

  void QueueMsgBox(int result) { msgbox_answers_.push_back(result); }
  void QueueInput(std::string text) { input_answers_.push_back(std::move(text)); }
  void QueueDialog(DialogAnswer answer) { dialog_answers_.push_back(std::move(answer)); }

  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title, const std::string& default_text) override;
  std::optional<std::string> PromptNew() override;
  bool PromptEdit(std::string& connection_string) override;

  std::vector<Call> calls;  // every call, in order

 private:
  std::optional<std::string> NextDialog();

  std::deque<int> msgbox_answers_;
  std::deque<std::string> input_answers_;
  std::deque<DialogAnswer> dialog_answers_;  // PromptNew and PromptEdit share it
};

// The Prompts the library uses: the one installed, else the non-interactive
// one writing nowhere.
std::shared_ptr<Prompts> CurrentPrompts();
// Installs `prompts` for the whole process; nullptr restores the default.
void SetCurrentPrompts(std::shared_ptr<Prompts> prompts);

}  // namespace veldrane::host

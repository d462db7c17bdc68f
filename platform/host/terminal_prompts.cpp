// The terminal face of the prompts: message boxes, input boxes and the
// data-link dialog as questions on a terminal. The dialog knows the
// providers a user can build a string for (SQLite, PostgreSQL, and ODBC
// through an installed driver or data source: terminal_odbc_link.cpp) and
// lets any other string be edited as text.
#include <istream>
#include <ostream>

#include "core/text.h"
#include "platform/host/connection_string.h"
#include "platform/host/message_buttons.h"
#include "platform/host/prompts.h"

namespace veldrane::host {

namespace {

struct FormField {
  const char* key;            // the connection-string key
  const char* label;          // what the user is asked
  const char* default_value;  // offered for a new data source
};

struct ProviderForm {
  const char* provider;  // the Provider= value
  const char* label;     // shown in the list
  std::vector<FormField> fields;
};

const std::vector<ProviderForm>& Forms() {
  static const std::vector<ProviderForm> forms = {
      {"SQLite", "SQLite (database file)", {{"Data Source", "Database file", ""}}},
      {"PostgreSQL",
       "PostgreSQL (server)",
       {{"Host", "Host", "localhost"},
        {"Port", "Port", "5432"},
        {"Database", "Database", ""},
        {"User ID", "User name", ""},
        {"Password", "Password", ""}}},
  };
  return forms;
}

bool IsFormKey(const ProviderForm& form, std::string_view key) {
  if (IEquals(key, "Provider")) return true;
  for (const auto& field : form.fields) {
    if (IEquals(key, field.key)) return true;
  }
  return false;
}

std::string TrimLine(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

TerminalPrompts::TerminalPrompts(std::istream& in, std::ostream& out, OdbcChoices odbc)
    : in_(in), out_(out), odbc_(std::move(odbc)) {}

std::optional<std::string> TerminalPrompts::ReadLine() {
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << std::endl;
    return std::nullopt;
  }
  return TrimLine(std::move(line));
}

std::optional<std::string> TerminalPrompts::Ask(const std::string& question, const std::string& default_value) {
  out_ << question;
  if (!default_value.empty()) out_ << " [" << default_value << "]";
  out_ << ": " << std::flush;
  auto line = ReadLine();
  if (line && line->empty()) return default_value;
  return line;
}

int TerminalPrompts::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  std::string icon = IconName(buttons);
  out_ << "\n== " << (title.empty() ? kDefaultTitle : title) << (icon.empty() ? "" : " (" + icon + ")") << " ==\n"
       << ReplaceAll(prompt, "\r\n", "\n") << "\n";
  auto shown = ButtonsOf(buttons);
  int fallback = DefaultButton(buttons);
  if (shown.size() == 1) {
    out_ << "Press Enter to continue." << std::flush;
    ReadLine();
    return shown.front().result;
  }
  while (true) {
    std::string choices;
    for (const auto& button : shown) {
      if (!choices.empty()) choices += "/";
      choices += button.label;
    }
    std::string default_label;
    for (const auto& button : shown) {
      if (button.result == fallback) default_label = button.label;
    }
    auto answer = Ask(choices, default_label);
    if (!answer) return DismissButton(buttons);
    for (const auto& button : shown) {
      // The first letter is enough: no two buttons of a set share one.
      if (!answer->empty() && (IEquals(*answer, button.label) ||
                               (answer->size() == 1 && IEquals(*answer, std::string_view(button.label, 1))))) {
        return button.result;
      }
    }
    out_ << "Please answer " << choices << ".\n";
  }
}

std::string TerminalPrompts::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) {
  out_ << "\n== " << (title.empty() ? kDefaultTitle : title) << " ==\n";
  auto answer = Ask(ReplaceAll(prompt, "\r\n", "\n"), default_text);
  return answer ? *answer : std::string();
}

std::optional<std::string> TerminalPrompts::PromptNew() { return RunDataLink(std::string()); }

bool TerminalPrompts::PromptEdit(std::string& connection_string) {
  auto edited = RunDataLink(connection_string);
  if (!edited) return false;
  connection_string = *edited;
  return true;
}

std::optional<std::string> TerminalPrompts::RunDataLink(const std::string& current) {
  const auto& forms = Forms();
  auto parts = ParseConnectionString(current);
  std::string current_provider = FindPart(parts, "Provider").value_or("");

  out_ << "\n== Data Link Properties ==\n";
  if (!current.empty()) out_ << "Current: " << current << "\n";
  size_t chosen_default = 0;
  for (size_t i = 0; i < forms.size(); ++i) {
    out_ << "  " << i + 1 << ") " << forms[i].label << "\n";
    if (IEquals(current_provider, forms[i].provider)) chosen_default = i + 1;
  }
  const size_t odbc_choice = forms.size() + 1;
  out_ << "  " << odbc_choice << ") ODBC (an installed driver or data source)\n";
  bool current_odbc = IEquals(current_provider, "MSDASQL") || IEquals(current_provider, "MSDASQL.1") ||
                      (current_provider.empty() && (FindPart(parts, "DSN") || FindPart(parts, "Driver")));
  if (current_odbc) chosen_default = odbc_choice;
  const size_t text_choice = odbc_choice + 1;
  if (!current.empty()) {
    out_ << "  " << text_choice << ") Edit the connection string as text\n";
    if (chosen_default == 0) chosen_default = text_choice;
  }
  if (chosen_default == 0) chosen_default = 1;
  out_ << "(end of input cancels)\n";

  size_t choice = 0;
  while (choice == 0) {
    auto answer = Ask("Provider", std::to_string(chosen_default));
    if (!answer) return std::nullopt;
    for (size_t i = 0; i < forms.size(); ++i) {
      if (IEquals(*answer, forms[i].provider)) choice = i + 1;
    }
    if (IEquals(*answer, "ODBC") || IEquals(*answer, "MSDASQL")) choice = odbc_choice;
    if (*answer == std::to_string(text_choice) && !current.empty()) choice = text_choice;
    if (choice == 0 && answer->size() == 1 && (*answer)[0] >= '1' && (*answer)[0] <= '9') {
      size_t n = static_cast<size_t>((*answer)[0] - '0');
      if (n <= odbc_choice) choice = n;
    }
    if (choice == 0) out_ << "Please choose one of the numbers above.\n";
  }

  if (choice == text_choice) {
    auto text = Ask("Connection string", current);
    if (!text) return std::nullopt;
    return *text;
  }

  if (choice == odbc_choice) return RunOdbcForm(current, current_odbc);

  const ProviderForm& form = forms[choice - 1];
  bool same_provider = IEquals(current_provider, form.provider);
  std::vector<ConnectionStringPart> built{{"Provider", form.provider}};
  for (const auto& field : form.fields) {
    std::string offered = field.default_value;
    if (same_provider) offered = FindPart(parts, field.key).value_or("");
    auto value = Ask(field.label, offered);
    if (!value) return std::nullopt;
    if (!value->empty()) built.push_back({field.key, *value});
  }
  // Keys the form does not show (timeouts, options) stay as they were.
  if (same_provider) {
    for (const auto& part : parts) {
      if (!IsFormKey(form, part.key)) built.push_back(part);
    }
  }
  return BuildConnectionString(built);
}

}  // namespace veldrane::host

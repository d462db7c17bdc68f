#include "platform/host/prompts.h"

#include <unistd.h>

#include <iostream>
#include <mutex>

#include "core/text.h"
#include "platform/host/message_buttons.h"

namespace veldrane::host {

namespace {

struct Installed {
  std::mutex mutex;
  std::shared_ptr<Prompts> prompts;
};

Installed& InstalledPrompts() {
  static Installed installed;
  return installed;
}

}  // namespace

NonInteractivePrompts::NonInteractivePrompts(std::ostream& out) : out_(out) {}

int NonInteractivePrompts::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  out_ << (title.empty() ? kDefaultTitle : title) << ": " << ReplaceAll(prompt, "\r\n", "\n") << std::endl;
  return DefaultButton(buttons);
}

std::string NonInteractivePrompts::InputBox(const std::string&, const std::string&, const std::string&) {
  return std::string();
}

std::optional<std::string> NonInteractivePrompts::PromptNew() { return std::nullopt; }

bool NonInteractivePrompts::PromptEdit(std::string&) { return false; }

int ScriptedPrompts::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  calls.push_back({Kind::MsgBox, prompt, title, std::string(), buttons});
  if (msgbox_answers_.empty()) return DefaultButton(buttons);
  int answer = msgbox_answers_.front();
  msgbox_answers_.pop_front();
  return answer;
}

std::string ScriptedPrompts::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) {
  calls.push_back({Kind::InputBox, prompt, title, default_text, 0});
  if (input_answers_.empty()) return std::string();
  std::string answer = std::move(input_answers_.front());
  input_answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::NextDialog() {
  if (dialog_answers_.empty()) return std::nullopt;
  DialogAnswer answer = std::move(dialog_answers_.front());
  dialog_answers_.pop_front();
  if (auto* failure = std::get_if<VbError>(&answer)) throw *failure;
  return std::get<std::optional<std::string>>(answer);
}

std::optional<std::string> ScriptedPrompts::PromptNew() {
  calls.push_back({Kind::PromptNew, std::string(), std::string(), std::string(), 0});
  return NextDialog();
}

bool ScriptedPrompts::PromptEdit(std::string& connection_string) {
  calls.push_back({Kind::PromptEdit, connection_string, std::string(), std::string(), 0});
  std::optional<std::string> answer = NextDialog();
  if (!answer) return false;
  connection_string = *answer;
  return true;
}

std::shared_ptr<Prompts> CurrentPrompts() {
  auto& installed = InstalledPrompts();
  {
    std::lock_guard lock(installed.mutex);
    if (installed.prompts) return installed.prompts;
  }
  // A library has no user of its own to ask: until its host installs
  // prompts, messages are answered with their first button and questions
  // are cancelled, and nothing is written anywhere.
  static std::ostream nowhere(nullptr);
  static const auto silent = std::make_shared<NonInteractivePrompts>(nowhere);
  return silent;
}

void SetCurrentPrompts(std::shared_ptr<Prompts> prompts) {
  auto& installed = InstalledPrompts();
  std::lock_guard lock(installed.mutex);
  installed.prompts = std::move(prompts);
}

}  // namespace veldrane::host

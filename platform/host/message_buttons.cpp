#include "platform/host/message_buttons.h"

#include "platform/host/prompts.h"

namespace veldrane::host {

std::vector<MessageButton> ButtonsOf(int buttons) {
  switch (buttons & 7) {
    case vbOKCancel:
      return {{"OK", vbOK}, {"Cancel", vbCancel}};
    case vbAbortRetryIgnore:
      return {{"Abort", vbAbort}, {"Retry", vbRetry}, {"Ignore", vbIgnore}};
    case vbYesNoCancel:
      return {{"Yes", vbYes}, {"No", vbNo}, {"Cancel", vbCancel}};
    case vbYesNo:
      return {{"Yes", vbYes}, {"No", vbNo}};
    case vbRetryCancel:
      return {{"Retry", vbRetry}, {"Cancel", vbCancel}};
    default:
      return {{"OK", vbOK}};
  }
}

int DefaultButton(int buttons) {
  auto shown = ButtonsOf(buttons);
  size_t which = static_cast<size_t>((buttons >> 8) & 3);
  return which < shown.size() ? shown[which].result : shown.front().result;
}

int DismissButton(int buttons) {
  auto shown = ButtonsOf(buttons);
  for (const auto& button : shown) {
    if (button.result == vbCancel) return vbCancel;
  }
  switch (buttons & 7) {
    case vbYesNo:
      return vbNo;
    case vbAbortRetryIgnore:
      return vbAbort;
    default:
      return vbOK;
  }
}

const char* IconName(int buttons) {
  switch (buttons & 0x70) {
    case vbCritical:
      return "Critical";
    case vbQuestion:
      return "Question";
    case vbExclamation:
      return "Warning";
    case vbInformation:
      return "Information";
    default:
      return "";
  }
}

}  // namespace veldrane::host

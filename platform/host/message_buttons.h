// The buttons of a message box, read from its flags: which ones it shows,
// which one Enter chooses, and which one closing the box without a choice
// gives. Shared by the prompt implementations.
#pragma once

#include <vector>

namespace veldrane::host {

struct MessageButton {
  const char* label;  // "OK", "Cancel", "Yes", ...
  int result;         // vbOK, vbCancel, vbYes, ...
};

// The buttons shown for `buttons` (an unknown set shows OK alone).
std::vector<MessageButton> ButtonsOf(int buttons);
// The button marked default (vbDefaultButton2 = 256, 3 = 512), else the first.
int DefaultButton(int buttons);
// The answer when the box is closed without a choice: Cancel when shown,
// otherwise the safe refusal (No, Abort) or OK.
int DismissButton(int buttons);
// The icon's name ("Critical", "Question", "Warning", "Information") or "".
const char* IconName(int buttons);

}  // namespace veldrane::host

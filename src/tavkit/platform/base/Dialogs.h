// The message box used for refusals at design time. There is no screen in a
// library, so the box goes through a replaceable handler: a designer shows it,
// a test records it. The most recent box is also kept, so that a caller can
// still see what was refused when no handler is installed.
//
// ```cpp
// // A designer shows the boxes; a program without a screen may log them.
// TMessageBoxHandler previous =
//     SetMessageBoxHandler([](const std::string& text, TMsgDlgType type) {
//       if (type == TMsgDlgType::mtWarning) std::cerr << "refused: " << text << "\n";
//     });
// MessageDlg("Only images take image maps", TMsgDlgType::mtWarning);
// std::string last = LastMessageBox();
// SetMessageBoxHandler(previous);
// ```
#pragma once

#include <functional>
#include <string>

namespace tavkit {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

using TMessageBoxHandler = std::function<void(const std::string& text, TMsgDlgType type)>;

// Shows a message box with a single OK button.
void MessageDlg(const std::string& text, TMsgDlgType type);
// Installs a handler and returns the previous one (an empty handler leaves
// only the record of the last box).
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
// The text of the most recent message box.
std::string LastMessageBox();

}  // namespace tavkit

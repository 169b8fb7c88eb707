// Routing of message boxes to the installed handler.
#include <tavkit/platform/base/Dialogs.h>

#include <utility>

namespace tavkit {

namespace {
TMessageBoxHandler& Handler() {
  static TMessageBoxHandler handler;
  return handler;
}
std::string& Last() {
  static std::string last;
  return last;
}
}  // namespace

void MessageDlg(const std::string& text, TMsgDlgType type) {
  Last() = text;
  if (Handler()) Handler()(text, type);
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

std::string LastMessageBox() {
  return Last();
}

}  // namespace tavkit

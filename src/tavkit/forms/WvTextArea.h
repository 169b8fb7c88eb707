// TWvTextArea: a multi-line text field of a form, with its initial text, its
// size in rows and columns, and four script events.
//
// ```cpp
// TComponent form(nullptr);
// auto* feedback = new TWvInputForm(&form);
// auto* comments = new TWvTextArea(&form);
// comments->SetParent(feedback);
// comments->SetBounds(10, 10, 425, 150);
// comments->SetFieldName("comments");
// comments->SetRows(6);
// comments->SetColumns(60);
// TStringList start{"Dear shop,", ""};
// comments->SetValue(&start);                 // written between the tags, each line ending in CR LF
// std::string tag = comments->put(nullptr);   // <TEXTAREA NAME="comments" ROWS=6 COLS=60 ...>
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvTextArea : public TWvCustomInputComponent {
 public:
  explicit TWvTextArea(TComponent* owner);
  ~TWvTextArea() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  // The initial text, one line each.
  TStrings* GetValue() const { return FValue.get(); }
  void SetValue(const TStrings* lines);
  int GetRows() const { return FRows; }
  void SetRows(int rows);
  int GetColumns() const { return FColumns; }
  void SetColumns(int columns);
  TWvScriptInvoker* GetJSOnBlur() const { return FJSOnBlur.get(); }
  TWvScriptInvoker* GetJSOnFocus() const { return FJSOnFocus.get(); }
  TWvScriptInvoker* GetJSOnChange() const { return FJSOnChange.get(); }
  TWvScriptInvoker* GetJSOnSelect() const { return FJSOnSelect.get(); }

 protected:
  void paint() override;

 private:
  std::unique_ptr<TStringList> FValue;
  int FRows = 8;
  int FColumns = 50;
  std::unique_ptr<TWvScriptInvoker> FJSOnBlur;
  std::unique_ptr<TWvScriptInvoker> FJSOnFocus;
  std::unique_ptr<TWvScriptInvoker> FJSOnChange;
  std::unique_ptr<TWvScriptInvoker> FJSOnSelect;
};

namespace WvTextArea {
void RegisterClasses();
void Register();
}  // namespace WvTextArea

}  // namespace tavkit

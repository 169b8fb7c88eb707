// TWvCustomInputComponent: the base of every element that sends a value with
// its form. It carries the form field name and the script that checks the
// field before the form is submitted, and the pieces that the input elements
// share: the option lines of the selection lists and the white field box of
// their design previews. Each input's events come from its own event table.
//
// ```cpp
// TComponent form(nullptr);
// auto* required = new TWvJavascript(&form);
// required->writescript(TStringList{"function required(v) {", "  return v != '';", "}"});
// TWvCustomInputComponent* inputs[] = {new TWvTextInputField(&form), new TWvTextArea(&form)};
// inputs[0]->SetFieldName("name");
// inputs[1]->SetFieldName("address");
// for (TWvCustomInputComponent* input : inputs) input->GetJSVerifyInput()->setScript(required);
// std::string call = inputs[1]->GetJSVerifyInput()->GetScriptCall(inputs[1]->GetFieldName());
// // call is "required(address.value)", one part of the form's submit check
// TStringList lines{"1=One", "2=Two"};        // the option lines of the selection lists
// std::vector<TWvOptionPair> options = WvSplitOptionLines(lines);
// std::string tags = WvOptionsHTML(options, 0);  // <OPTION SELECTED VALUE="1">One</OPTION>...
// ```
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

class TWvCustomInputComponent : public TWvVisibleComponent {
 public:
  explicit TWvCustomInputComponent(TComponent* owner);
  ~TWvCustomInputComponent() override;

  const std::string& GetFieldName() const { return FFieldName; }
  void SetFieldName(const std::string& name) { FFieldName = name; }
  TWvScriptInvoker* GetJSVerifyInput() const { return FJSVerifyInput.get(); }

  // The element's own scripts plus the verification script; subclasses add
  // their event scripts after these.
  std::unique_ptr<TWvJavascriptlist> ScriptList() override;

  // Forgets the verification script when that script leaves its owner, so no
  // reference to it outlives it.
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void paint() override;

  // Runs a preview and swallows its failures: a preview that cannot draw
  // (no font face, for one) must not take the designer down with it.
  template <class F>
  static void PaintSafely(F&& draw) {
    try {
      draw();
    } catch (const std::exception&) {
    }
  }
  // The start of every field preview: an unframed control filled with the
  // background colour and outlined with a thin black pen; the pen is then
  // black and two pixels wide for the field itself.
  void BeginFieldPreview();
  // Fills the white field box (0, 0)-(right, bottom) that text is drawn in.
  void FillFieldBox(int right, int bottom);
  // The black font of the field previews, 16 pixels high.
  void SetPreviewFont(const char* name);
  // Draws lines of text one under the other, line i at (2, 14 * i + 1), each
  // clipped to the part of the box below the lines before it.
  void PaintFieldLines(const std::vector<std::string>& lines, int right, int bottom);
  // A preview coordinate computed from a property, kept within what a canvas
  // can take however large the property is.
  static int PreviewCoordinate(long long value);
  // The closed outline (1, 1), (1, bottom), (right, bottom), (right, 1).
  void PaintFieldFrame(int right, int bottom);

 private:
  std::string FFieldName;
  std::unique_ptr<TWvScriptInvoker> FJSVerifyInput;
};

// One option of a selection list. Its line is split at the first "=" into the
// value sent and the text shown; a line without "=" repeats the option before
// it, and both are empty before the first line.
struct TWvOptionPair {
  std::string Value;
  std::string Text;
};
std::vector<TWvOptionPair> WvSplitOptionLines(const TStrings& lines);

// The OPTION tags of a selection list; the option at index selected (from 0)
// is marked, none when selected lies outside the list.
std::string WvOptionsHTML(const std::vector<TWvOptionPair>& options, int selected);

// The length in characters of the longest shown text, 10 when every text is
// empty: the width the list previews make room for.
int WvLongestOptionText(const std::vector<TWvOptionPair>& options);

namespace WvCustomInputComponent {
void RegisterClasses();
}

}  // namespace tavkit

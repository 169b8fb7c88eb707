// TWvCustomText: the base of every element that writes lines of text in a web
// font. The lines go out as HTML text, in FONT markup or, when the optimizer
// works with style sheets, bare with their look carried by a style class; a
// hyperlink may enclose the whole element. At design time the preview draws
// each line in the pixel size a browser gives to the font's HTML size.
//
// ```cpp
// // A text whose line is made anew each time the page is written.
// class TVisitorCount : public TWvCustomText {
//  public:
//   using TWvCustomText::TWvCustomText;
//   TStrings* readText() override {
//     FLines.Clear();
//     FLines.Add("Visitors today: " + std::to_string(++FVisitors));
//     return &FLines;
//   }
//
//  private:
//   TStringList FLines;
//   int FVisitors = 0;
// };
// TComponent form(nullptr);
// auto* count = new TVisitorCount(&form);
// count->SetAutoLineBreak(false);             // no line break after the line
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/elements/WvLink.h>

namespace tavkit {

class TWvCustomText : public TWvVisibleComponent {
 public:
  explicit TWvCustomText(TComponent* owner);
  ~TWvCustomText() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;
  // The lines that put and the preview write, asked anew on every use; never
  // null. The base gives its own list; an element whose lines come from
  // elsewhere answers with those.
  virtual TStrings* readText();

  TWvFont* GetFont() const { return FFont.get(); }
  // Takes over the values of font; the element keeps its own font object,
  // so the caller's font stays the caller's.
  void SetFont(const TWvFont* font);
  const std::string& GetLink() const { return FHyperLink->GetURL(); }
  void SetLink(const std::string& url);
  TWvLink* GetHyperLink() const { return FHyperLink.get(); }
  bool GetAutoLineBreak() const { return FAutoLineBreak; }
  void SetAutoLineBreak(bool value) { FAutoLineBreak = value; }

 protected:
  void paint() override;
  // The element's own lines, for subclasses that publish them.
  TStringList& TextLines() { return *FText; }

 private:
  std::unique_ptr<TStringList> FText;
  std::unique_ptr<TWvFont> FFont;
  bool FAutoLineBreak = true;
  std::unique_ptr<TWvLink> FHyperLink;
};

namespace WvCustomText {
// Publishes TWvCustomText and what it nests; safe to call more than once.
void RegisterClasses();
}  // namespace WvCustomText

}  // namespace tavkit

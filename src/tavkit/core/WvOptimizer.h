// The output context handed to every element's put: the target browser,
// whether fonts, colours and alignment go into CSS style classes, and whether
// table cells may use them. Elements ask it for a class name per combination of
// font, background colour and alignment; equal combinations share one class,
// and the page writes all classes collected for a document into its style sheet.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// // ... the page's elements ...
// auto* optimizer = new TWvOptimizer(&form);
// optimizer->setBrowserType(brExplorer);
// optimizer->setUseCSS(true);                 // fonts and colours become style classes
// std::string styled = page->put(optimizer);  // the classes go into the page's head
// std::string plain = page->put(nullptr);     // FONT tags instead, for any browser
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Components.h>

namespace tavkit {

enum t_browser : std::uint8_t {
  brUnknown = 0,
  brNavigator = 1,
  brExplorer = 2,
  brOpera = 3,
  brWebTV = 4
};

// One style class: its name, its own copy of the font, the background colour
// and the alignment.
class TClassListItem : public TObject {
 public:
  TClassListItem(const TWvFont& font, TColor colour, t_WvTextAlign align);

  const std::string& GetName() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  const TWvFont& GetFont() const { return FFont; }
  TColor GetColor() const { return FColor; }
  t_WvTextAlign GetAlign() const { return FAlign; }

  // Equal fonts, colours and alignments; the names are not compared.
  bool IsEqual(const TClassListItem& other) const;

 private:
  std::string FName;
  TWvFont FFont;
  TColor FColor;
  t_WvTextAlign FAlign;
};

class TWvCustomOptimizer : public TComponent {
 public:
  explicit TWvCustomOptimizer(TComponent* owner);

  virtual t_browser getBrowserType() const { return FBrowserType; }
  virtual void setBrowserType(t_browser value) { FBrowserType = value; }
  virtual bool getUseCSS() const { return FUseCSS; }
  virtual void setUseCSS(bool value) { FUseCSS = value; }
  virtual bool getoptimizeTableDefinitions() const { return FOptimizeTableDefinitions; }
  virtual void setoptimizeTableDefinitions(bool value) { FOptimizeTableDefinitions = value; }
  // Forgets every collected class; numbering starts again at "T0".
  virtual void reset();

  // Whether the class list is emptied once its descriptions have been written.
  bool GetautoReset() const { return FAutoReset; }
  void SetautoReset(bool value) { FAutoReset = value; }

  // The name of the class for this combination, made ("T" + number) when new.
  std::string getClassName(const TWvFont& font, TColor colour, t_WvTextAlign align);
  // The CSS rules of every collected class, in order of creation; empties the
  // list afterwards when autoReset is on.
  std::string getClassDescriptions();

  int ClassCount() const { return static_cast<int>(FClassList.size()); }

 private:
  std::vector<std::unique_ptr<TClassListItem>> FClassList;
  t_browser FBrowserType = brUnknown;
  bool FUseCSS = true;
  bool FAutoReset = true;
  bool FOptimizeTableDefinitions = true;
};

// The optimizer a developer drops on a form: the same class with its options published.
class TWvOptimizer : public TWvCustomOptimizer {
 public:
  using TWvCustomOptimizer::TWvCustomOptimizer;
};

namespace WvOptimizer {
// Publishes the optimizer classes; safe to call more than once.
void RegisterClasses();
// Puts TWvOptimizer on the palette page "Taveno".
void Register();
}  // namespace WvOptimizer

}  // namespace tavkit

// Calls the registration routine of every unit, lowest subsystems first.
#include <tavkit/package/Package.h>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/elements/WvImage.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/elements/WvJavaApplet.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/elements/WvVCLWrapper.h>
#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvDropDownlist.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvListBox.h>
#include <tavkit/forms/WvRadioButton.h>
#include <tavkit/forms/WvSubmitButton.h>
#include <tavkit/forms/WvTextArea.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/gif/GIFGraphic.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/layout/WvTemplate.h>
#include <tavkit/package/Palette.h>
#include <tavkit/platform/controls/Chart.h>
#include <tavkit/platform/controls/StdCtrls.h>
#include <tavkit/platform/data/DataAccess.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvScriptInvoker.h>
#include <tavkit/tables/WvDBImage.h>
#include <tavkit/tables/WvDBPanel.h>
#include <tavkit/tables/WvDBTable.h>
#include <tavkit/tables/WvDBText.h>
#include <tavkit/tables/WvTable.h>

namespace tavkit {

void RegisterPackage() {
  GIFImage::Initialize();
  StdCtrls::Register();
  Chart::Register();
  DataAccess::Register();
  WvFont::RegisterClasses();
  WvOptimizer::Register();
  WvJavascript::Register();
  WvScriptInvoker::RegisterClasses();
  WvPage::Register();
  WvPanel::Register();
  WvTemplate::Register();
  WvStandardComponent::Register();
  WvText::Register();
  WvImage::Register();
  WvImageMap::Register();
  WvJavaApplet::Register();
  WvVCLWrapper::Register();
  WvInputForm::Register();
  WvSubmitButton::Register();
  WvTextInputField::Register();
  WvTextArea::Register();
  WvCheckBox::Register();
  WvRadioButton::Register();
  WvDropDownlist::Register();
  WvListBox::Register();
  WvTable::Register();
  WvDBTable::Register();
  WvDBPanel::Register();
  WvDBText::Register();
  WvDBImage::Register();
  WvCGI::Register();
  // Last, once every component is on its palette page.
  Palette::Register();
}

}  // namespace tavkit

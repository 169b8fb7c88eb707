// Calls the registration routine of every unit, lowest subsystems first.
#include "package/Package.h"

#include "cgi/WvCGI.h"
#include "core/WvFont.h"
#include "core/WvOptimizer.h"
#include "elements/WvImage.h"
#include "elements/WvImageMap.h"
#include "elements/WvJavaApplet.h"
#include "elements/WvText.h"
#include "elements/WvVCLWrapper.h"
#include "forms/WvCheckBox.h"
#include "forms/WvDropDownlist.h"
#include "forms/WvInputForm.h"
#include "forms/WvListBox.h"
#include "forms/WvRadioButton.h"
#include "forms/WvSubmitButton.h"
#include "forms/WvTextArea.h"
#include "forms/WvTextInputField.h"
#include "gif/GIFGraphic.h"
#include "layout/WvPage.h"
#include "layout/WvPanel.h"
#include "layout/WvStandardComponent.h"
#include "layout/WvTemplate.h"
#include "package/Palette.h"
#include "platform/Chart.h"
#include "platform/DataAccess.h"
#include "platform/StdCtrls.h"
#include "scripts/WvJavascript.h"
#include "scripts/WvScriptInvoker.h"
#include "tables/WvDBImage.h"
#include "tables/WvDBPanel.h"
#include "tables/WvDBTable.h"
#include "tables/WvDBText.h"
#include "tables/WvTable.h"

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

// Native controls painted into pictures: the reference to the control with
// its refusals and removal notice, the design preview, and the picture.
#include <tavkit/elements/WvVCLWrapper.h>

#include <exception>
#include <utility>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

TWvVCLWrapper::TWvVCLWrapper(TComponent* owner) : TWvCustomImage(owner) {
  SetBounds(GetLeft(), GetTop(), 50, 25);
  SetContainer(true);
}

void TWvVCLWrapper::Notification(TComponent* component, TOperation operation) {
  TWvCustomImage::Notification(component, operation);
  if (operation != TOperation::opRemove || component == nullptr) return;
  if (component == FVCLControl) {
    FVCLControl = nullptr;
    invalidate();
  }
}

void TWvVCLWrapper::validateInsert(TComponent* component) {
  if (dynamic_cast<TWvImageMap*>(component) == nullptr)
    throw Exception("Only imagemaps can be put on images !!!");
}

void TWvVCLWrapper::SetControl(TWinControl* control) {
  // Every element of the library, the wrapper itself and hot spots included,
  // is refused: what they paint is a design preview, not their page look.
  if (dynamic_cast<TWvComponent*>(control) != nullptr) {
    if (IsDesigning()) MessageDlg("Taveno components are not allowed", TMsgDlgType::mtWarning);
    return;
  }
  if (control == FVCLControl) return;
  FVCLControl = control;
  if (control != nullptr) control->FreeNotification(this);
  invalidate();
}

std::unique_ptr<TBitmap> TWvVCLWrapper::PaintControl(int passes) {
  // A control may hold its own wrapper, directly or through other wrappers;
  // painting it would paint the wrapper again, without end.
  if (FPainting || FVCLControl == nullptr) return nullptr;
  struct TPaintingFlag {
    bool& Flag;
    ~TPaintingFlag() { Flag = false; }
  } painting{FPainting};
  FPainting = true;
  auto bitmap = std::make_unique<TBitmap>(FVCLControl->GetWidth(), FVCLControl->GetHeight());
  for (int pass = 0; pass < passes; ++pass) FVCLControl->PaintTo(bitmap->Canvas(), 0, 0);
  return bitmap;
}

void TWvVCLWrapper::paint() {
  if (FVCLControl == nullptr) return;
  // When the wrapper lies on the control it wraps, painting the control
  // binds our canvas to the control's bitmap and unbinds it afterwards, so
  // the binding to the designer's surface is kept here and put back.
  TCanvas& canvas = Canvas();
  TBitmap* target = canvas.GetTarget();
  const TPoint origin = canvas.GetOrigin();
  const TRect clip = canvas.GetClipRect();
  std::unique_ptr<TBitmap> picture;
  try {
    picture = PaintControl(1);
  } catch (const std::exception&) {
    // A control too large for a bitmap, or one that fails to paint, leaves
    // the preview blank rather than breaking the designer.
  }
  canvas.SetTarget(target);
  canvas.SetOrigin(origin);
  canvas.SetClipRect(clip);
  // The hot spots are children of the wrapper: the framework paints their
  // dashed frames over this picture.
  if (picture) canvas.StretchDraw(ClientRect(), *picture);
}

std::string TWvVCLWrapper::ServerImage() {
  try {
    // Painted twice, so that a control which arranges itself while it
    // paints (measuring its labels, placing its legend) is caught settled.
    std::unique_ptr<TBitmap> picture = PaintControl(2);
    if (!picture) return std::string();
    return WvGenerateServerImage(*picture, GetWidth(), GetHeight(), true);
  } catch (const std::exception&) {
    // A control too large for a bitmap, or one that fails to paint, must
    // not break the page: it is written like a picture that could not be
    // saved.
    return std::string();
  }
}

std::string TWvVCLWrapper::put(TWvCustomOptimizer* optimizer) {
  // The before-put event comes first, so that a handler that fills or
  // swaps the control shows in this very picture.
  ActivateBeforePutEvent();
  if (FVCLControl == nullptr) {
    std::string result = CollapsedBefore() + CollapsedAfter();
    ActivateAfterPutEvent();
    return result;
  }
  SetImagePath(ServerImage());
  // The picture base fires both events itself; the before-put event has had
  // its turn, so it is held back while the base writes the tag.
  TWvBeforePutEvent before = std::exchange(OnBeforePut, nullptr);
  try {
    std::string result = TWvCustomImage::put(optimizer);
    OnBeforePut = std::move(before);
    return result;
  } catch (...) {
    OnBeforePut = std::move(before);
    throw;
  }
}

namespace WvVCLWrapper {
void RegisterClasses() {
  WvCustomImage::RegisterClasses();
  using C = TWvVCLWrapper;
  TPropInfo control =
      props::Component<C, TWinControl>("VCLControl", &C::GetVCLControl, &C::SetControl);
  // A form file that names a page element here is refused with the place
  // named, rather than loading a wrapper that silently shows nothing.
  control.Accepts = [](TComponent* component) {
    return component == nullptr || (dynamic_cast<TWinControl*>(component) != nullptr &&
                                    dynamic_cast<TWvComponent*>(component) == nullptr);
  };
  RegisterClass<C, TWvCustomImage>({std::move(control)});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvVCLWrapper"});
}
}  // namespace WvVCLWrapper

}  // namespace tavkit

// Component ownership, naming, free notification, controls and messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/controls/Controls.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::ErrorOf;

// Records what it is told and how it ends.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), FLog(log) {}
  ~TProbe() override {
    if (FLog) FLog->push_back("free " + GetName());
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == Target) Target = nullptr;
  }
  TComponent* Target = nullptr;

 private:
  std::vector<std::string>* FLog;
};

TEST(TComponent, OwnerFreesWhatItOwnsLastFirst) {
  std::vector<std::string> log;
  auto* form = new TProbe(nullptr, &log);
  form->SetName("Form");
  (new TProbe(form, &log))->SetName("A");
  (new TProbe(form, &log))->SetName("B");
  EXPECT_EQ(form->ComponentCount(), 2);
  delete form;
  EXPECT_EQ(log, (std::vector<std::string>{"free Form", "free B", "free A"}));
}

TEST(TComponent, NamesAreIdentifiersAndUniquePerOwner) {
  TComponent form(nullptr);
  auto* a = new TComponent(&form);
  a->SetName("Button1");
  auto* b = new TComponent(&form);
  EXPECT_THROW(b->SetName("button1"), Exception);
  EXPECT_THROW(b->SetName("1st"), Exception);
  EXPECT_THROW(b->SetName("a b"), Exception);
  b->SetName("Button2");
  EXPECT_EQ(form.FindComponent("BUTTON2"), b);
  EXPECT_EQ(form.FindComponent("missing"), nullptr);
}

TEST(TComponent, FreeNotificationClearsReferencesAcrossOwners) {
  TComponent formA(nullptr);
  TComponent formB(nullptr);
  auto* holder = new TProbe(&formA, nullptr);
  auto* target = new TProbe(&formB, nullptr);
  holder->Target = target;
  target->FreeNotification(holder);
  delete target;
  EXPECT_EQ(holder->Target, nullptr);
  // The bond is gone on both sides: freeing the holder later tells nobody.
  auto* second = new TProbe(&formB, nullptr);
  holder->Target = second;
  holder->FreeNotification(second);
  delete holder;
  delete second;
}

TEST(TComponent, OwnerPassesRemovalToItsComponents) {
  TComponent form(nullptr);
  auto* holder = new TProbe(&form, nullptr);
  auto* target = new TComponent(&form);
  holder->Target = target;
  delete target;
  EXPECT_EQ(holder->Target, nullptr);
}

TEST(TComponent, DesigningStateReachesOwnedComponents) {
  TComponent form(nullptr);
  auto* child = new TComponent(&form);
  form.SetDesigning(true);
  EXPECT_TRUE(child->IsDesigning());
  auto* late = new TComponent(&form);
  EXPECT_TRUE(late->IsDesigning());
}

class TPicky : public TWinControl {
 public:
  using TWinControl::TWinControl;
  void validateInsert(TComponent* component) override {
    if (component->GetName() == "Refused") throw Exception("refused");
  }
};

TEST(TControl, ParentKeepsChildrenInIndexOrderWithoutOwningThem) {
  TComponent form(nullptr);
  auto* parent = new TPicky(&form);
  auto* a = new TControl(&form);
  auto* b = new TControl(&form);
  b->SetParent(parent);
  a->SetParent(parent);
  EXPECT_EQ(parent->GetControlCount(), 2);
  EXPECT_EQ(parent->GetControl(0), b);
  parent->SetChildOrder(a, 0);
  EXPECT_EQ(parent->GetControl(0), a);
  delete parent;
  EXPECT_EQ(a->GetParent(), nullptr);
  delete b;
}

TEST(TControl, RefusedInsertChangesNothing) {
  TComponent form(nullptr);
  auto* first = new TPicky(&form);
  auto* second = new TPicky(&form);
  auto* child = new TControl(&form);
  child->SetName("Refused");
  EXPECT_THROW(child->SetParent(first), Exception);
  EXPECT_EQ(child->GetParent(), nullptr);
  EXPECT_EQ(first->GetControlCount(), 0);
  child->SetName("Taken");
  child->SetParent(first);
  EXPECT_THROW(first->SetParent(first), Exception);
  child->SetName("Refused");
  EXPECT_THROW(child->SetParent(second), Exception);
  EXPECT_EQ(child->GetParent(), first);
}

TEST(TControl, AParentInsideTheControlIsRefusedWithBothNames) {
  TComponent form(nullptr);
  auto* outer = new TWinControl(&form);
  auto* inner = new TWinControl(&form);
  outer->SetName("Page1");
  inner->SetName("Panel1");
  inner->SetParent(outer);
  EXPECT_EQ(ErrorOf([&] { outer->SetParent(outer); }), "Control cannot be its own parent");
  EXPECT_EQ(ErrorOf([&] { outer->SetParent(inner); }),
            "Control Page1 cannot be put inside Panel1, which it contains");
  EXPECT_EQ(outer->GetParent(), nullptr);
  EXPECT_EQ(inner->GetParent(), outer);
}

class TListener : public TWinControl {
 public:
  explicit TListener(TComponent* owner) : TWinControl(owner) {
    SetMessageHandler(WM_USER + 400, [this](TMessage& m) {
      Seen.push_back(m.Msg);
      m.Result = 7;
      DefaultHandler(m);
    });
  }
  void DefaultHandler(TMessage& m) override { Defaults.push_back(m.Msg); }
  std::vector<unsigned> Seen;
  std::vector<unsigned> Defaults;
};

TEST(TControl, MessagesReachTheirHandlerOrTheDefault) {
  TComponent form(nullptr);
  auto* parent = new TWinControl(&form);
  auto* child = new TListener(&form);
  child->SetParent(parent);
  EXPECT_EQ(child->Perform(1424), 7);
  EXPECT_EQ(child->Perform(1425), 0);
  parent->NotifyControls(1426);
  EXPECT_EQ(child->Seen, (std::vector<unsigned>{1424}));
  EXPECT_EQ(child->Defaults, (std::vector<unsigned>{1424, 1425, 1426}));
}

TEST(TControl, BoundsChangeAsksForRepaint) {
  TControl control(nullptr);
  int before = control.RepaintRequests();
  control.SetBounds(1, 2, 30, -4);
  EXPECT_EQ(control.BoundsRect(), Bounds(1, 2, 30, 0));
  EXPECT_EQ(control.RepaintRequests(), before + 1);
}

TEST(TClassRegistry, PublishedPropertiesIncludeAncestorsAndCreateByName) {
  RegisterControlClasses();
  const TClassInfo* info = TClassRegistry::Instance().Find("tcustomcontrol");
  ASSERT_NE(info, nullptr);
  std::vector<std::string> names;
  for (const TPropInfo* p : info->AllProperties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Tag", "Left", "Top", "Width", "Height"}));
  EXPECT_TRUE(info->InheritsFrom("TControl"));
  TComponent form(nullptr);
  TComponent* made = CreateComponent("TCustomControl", &form);
  EXPECT_EQ(made->ClassName(), "TCustomControl");
  EXPECT_EQ(made->GetOwner(), &form);
  info->FindProperty("width")->Set(*made, TPropValue(std::int64_t(42)));
  EXPECT_EQ(static_cast<TControl*>(made)->GetWidth(), 42);
  EXPECT_THROW(CreateComponent("TNoSuchThing", &form), Exception);
  EXPECT_THROW(RegisterComponents("Taveno", {"TNoSuchThing"}), Exception);
}

}  // namespace
}  // namespace tavkit

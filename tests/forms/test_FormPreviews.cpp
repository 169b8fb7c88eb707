// Design previews of the input elements, checked pixel by pixel where the
// shape matters: the white field boxes sized by the properties, the lines of
// text clipped to them, the tick and the dot, the drop button.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvDropDownlist.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvListBox.h>
#include <tavkit/forms/WvRadioButton.h>
#include <tavkit/forms/WvSubmitButton.h>
#include <tavkit/forms/WvTextArea.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;

// Paints control on a bitmap of its own size (filled with grey first, so
// that untouched pixels show) and keeps a PNG for a person to look at.
std::unique_ptr<TBitmap> Paint(TControl& control, const std::string& name) {
  auto result =
      std::make_unique<TBitmap>(control.GetWidth(), control.GetHeight(), TPixelFormat::pf24bit);
  TBitmap& bitmap = *result;
  bitmap.Canvas().Brush().Color = clGray;
  bitmap.Canvas().FillRect(Rect(0, 0, control.GetWidth(), control.GetHeight()));
  control.PaintTo(bitmap.Canvas(), 0, 0);
  std::filesystem::create_directories(TAVKIT_BINARY_DIR "/previews");
  bitmap.SaveToPNGFile(TAVKIT_BINARY_DIR "/previews/forms-" + name + ".png");
  return result;
}

// The pixels of a rectangle of the bitmap, one text line per row: '#' black,
// '.' white, '-' the background colour given, '~' its inverse, '?' else.
std::string Map(const TBitmap& bitmap, TRect area, TColor background) {
  std::string map;
  TColor inverse = static_cast<TColor>(~static_cast<std::uint32_t>(background) & 0xFFFFFF);
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      TColor c = bitmap.GetPixel(x, y);
      map += c == clBlack      ? '#'
             : c == clWhite    ? '.'
             : c == background ? '-'
             : c == inverse    ? '~'
                               : '?';
    }
    map += '\n';
  }
  return map;
}

TEST(FormPreviews, CheckBoxSquareAndTick) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* box = new TWvCheckBox(&owner);
  box->SetBackGroundColor(clYellow);
  auto bitmap = Paint(*box, "checkbox");
  // Inside the dashed frame: a white square whose two-pixel border stays
  // within (2, 2)-(15, 15); nothing else is drawn.
  EXPECT_EQ(Map(*bitmap, Rect(1, 1, 16, 16), clYellow),
            "---------------\n"
            "-#############-\n"
            "-#############-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-##.........##-\n"
            "-#############-\n"
            "-#############-\n"
            "---------------\n");
  EXPECT_EQ(CountPixels(*bitmap, Rect(1, 16, 24, 24), clYellow), 23 * 8);
  EXPECT_EQ(CountPixels(*bitmap, Rect(16, 1, 24, 16), clYellow), 8 * 15);
  EXPECT_EQ(bitmap->GetPixel(0, 0), clBlue);  // the frame inverts yellow

  box->SetChecked(true);
  bitmap = Paint(*box, "checkbox-checked");
  EXPECT_EQ(Map(*bitmap, Rect(1, 1, 16, 16), clYellow),
            "---------------\n"
            "-#############-\n"
            "-#############-\n"
            "-##......##.##-\n"
            "-##......##.##-\n"
            "-##......##.##-\n"
            "-##.....##..##-\n"
            "-##.###.##..##-\n"
            "-##..####...##-\n"
            "-##...###...##-\n"
            "-##...###...##-\n"
            "-##.........##-\n"
            "-#############-\n"
            "-#############-\n"
            "---------------\n");
}

TEST(FormPreviews, RadioButtonCircleAndDot) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* radio = new TWvRadioButton(&owner);
  radio->SetBackGroundColor(clYellow);
  auto bitmap = Paint(*radio, "radio");
  EXPECT_EQ(Map(*bitmap, Rect(1, 1, 16, 16), clYellow),
            "---------------\n"
            "-----####------\n"
            "---########----\n"
            "--###....###---\n"
            "--##......##---\n"
            "-##........##--\n"
            "-##........##--\n"
            "-##........##--\n"
            "-##........##--\n"
            "--##......##---\n"
            "--###....###---\n"
            "---########----\n"
            "-----####------\n"
            "---------------\n"
            "---------------\n");
  EXPECT_EQ(bitmap->GetPixel(24, 24), clBlue);

  radio->SetChecked(true);
  bitmap = Paint(*radio, "radio-checked");
  EXPECT_EQ(Map(*bitmap, Rect(1, 1, 16, 16), clYellow),
            "---------------\n"
            "-----####------\n"
            "---########----\n"
            "--###....###---\n"
            "--##......##---\n"
            "-##...##...##--\n"
            "-##..####..##--\n"
            "-##..####..##--\n"
            "-##...##...##--\n"
            "--##......##---\n"
            "--###....###---\n"
            "---########----\n"
            "-----####------\n"
            "---------------\n"
            "---------------\n");
}

TEST(FormPreviews, UnspecialisedInputIsAFramedWhiteBox) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* input = new TWvCustomInputComponent(&owner);
  input->SetBounds(1, 1, 12, 8);
  input->SetBackGroundColor(clYellow);
  auto bitmap = Paint(*input, "input");
  EXPECT_TRUE(input->HasStyle(csFramed));
  EXPECT_EQ(Map(*bitmap, input->ClientRect(), clYellow),
            "############\n"
            "############\n"
            "##........##\n"
            "##........##\n"
            "##........##\n"
            "##........##\n"
            "############\n"
            "############\n");
}

TEST(FormPreviews, TextFieldBoxIsSevenPixelsACharacter) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* field = new TWvTextInputField(&owner);
  field->SetBackGroundColor(clYellow);
  field->SetSize(10);
  field->SetValue("Jo");
  auto bitmap = Paint(*field, "textfield");
  EXPECT_FALSE(field->HasStyle(csFramed));
  EXPECT_EQ(bitmap->GetPixel(60, 12), clWhite);  // the box, right of the text
  EXPECT_EQ(bitmap->GetPixel(1, 12), clBlack);   // its frame, two pixels wide
  EXPECT_EQ(bitmap->GetPixel(70, 12), clBlack);  // at 7 x Size
  EXPECT_EQ(bitmap->GetPixel(35, 22), clBlack);
  EXPECT_EQ(bitmap->GetPixel(90, 12), clYellow);  // beside the box: the background
  EXPECT_EQ(bitmap->GetPixel(119, 12), clBlack);  // and the thin client frame
  EXPECT_EQ(bitmap->GetPixel(90, 24), clBlack);
  EXPECT_GT(CountPixels(*bitmap, Rect(3, 3, 30, 19), clBlack), 20);  // the value

  // A password is shown in clear: the preview does not change.
  field->SetPassWord(true);
  auto password = Paint(*field, "textfield-password");
  EXPECT_EQ(Map(*password, field->ClientRect(), clYellow),
            Map(*bitmap, field->ClientRect(), clYellow));

  field->SetSize(5);
  bitmap = Paint(*field, "textfield-narrow");
  EXPECT_EQ(bitmap->GetPixel(35, 12), clBlack);
  EXPECT_EQ(bitmap->GetPixel(60, 12), clYellow);
}

TEST(FormPreviews, TextAreaLinesStayInsideTheBox) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* area = new TWvTextArea(&owner);
  area->SetBounds(1, 1, 100, 60);
  area->SetBackGroundColor(clYellow);
  area->SetRows(2);
  area->SetColumns(5);
  TStringList lines{"MMMM", "MMMM", "MMMM", "MMMM"};
  area->SetValue(&lines);
  auto bitmap = Paint(*area, "textarea");
  // The box ends at 8 x 5 + 15 = 55 and 14 x 2 + 10 = 38: the third line is
  // cut there, the fourth not drawn; nothing reaches the rows below.
  EXPECT_EQ(bitmap->GetPixel(55, 20), clBlack);
  EXPECT_EQ(bitmap->GetPixel(20, 38), clBlack);
  EXPECT_EQ(bitmap->GetPixel(50, 20), clWhite);
  EXPECT_GT(CountPixels(*bitmap, Rect(2, 1, 50, 14), clBlack), 20);
  EXPECT_GT(CountPixels(*bitmap, Rect(2, 29, 50, 37), clBlack), 5);
  EXPECT_EQ(CountPixels(*bitmap, Rect(1, 41, 99, 59), clYellow), 98 * 18);
  EXPECT_EQ(CountPixels(*bitmap, Rect(58, 1, 99, 59), clYellow), 41 * 58);
}

TEST(FormPreviews, DropDownListShowsTheSelectedOptionAndItsButton) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* list = new TWvDropDownlist(&owner);
  list->SetBackGroundColor(clYellow);
  TStringList options{"r=Red", "g=Green", "b=Blue"};
  list->SetOptionValues(&options);
  list->SetSelected(1);
  auto bitmap = Paint(*list, "dropdown");
  // "Green" is the longest text: the box is 7 x 5 + 20 = 55 wide, the button
  // line stands at 40 and its arrow square at 47.
  EXPECT_EQ(bitmap->GetPixel(55, 12), clBlack);
  EXPECT_EQ(bitmap->GetPixel(40, 5), clBlack);
  EXPECT_EQ(bitmap->GetPixel(40, 20), clBlack);
  EXPECT_EQ(bitmap->GetPixel(44, 16), clWhite);
  EXPECT_EQ(bitmap->GetPixel(47, 11), clBlack);
  EXPECT_EQ(bitmap->GetPixel(60, 12), clYellow);
  EXPECT_GT(CountPixels(*bitmap, Rect(3, 3, 38, 19), clBlack), 30);

  // Past the end nothing is shown; empty texts still leave room for ten.
  list->SetSelected(3);
  bitmap = Paint(*list, "dropdown-past-end");
  EXPECT_EQ(CountPixels(*bitmap, Rect(3, 3, 38, 19), clBlack), 0);
  TStringList blank{"a=", "b="};
  list->SetOptionValues(&blank);
  bitmap = Paint(*list, "dropdown-blank");
  EXPECT_EQ(bitmap->GetPixel(75, 5), clBlack);
  EXPECT_EQ(bitmap->GetPixel(90, 12), clBlack);
  EXPECT_EQ(bitmap->GetPixel(95, 12), clYellow);
}

TEST(FormPreviews, ListBoxShowsOnlyItsVisibleLines) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* list = new TWvListBox(&owner);
  list->SetBackGroundColor(clYellow);
  TStringList options{"r=Red", "g=Green", "b=Blue"};
  list->SetOptionValues(&options);
  list->SetListSize(2);
  auto bitmap = Paint(*list, "listbox");
  // 7 x 5 + 15 = 50 wide, 14 x 2 + 10 = 38 high: two lines, the third option
  // is left out although the box would have room for part of it.
  EXPECT_EQ(bitmap->GetPixel(50, 20), clBlack);
  EXPECT_EQ(bitmap->GetPixel(20, 38), clBlack);
  EXPECT_GT(CountPixels(*bitmap, Rect(2, 1, 45, 15), clBlack), 20);
  EXPECT_GT(CountPixels(*bitmap, Rect(2, 15, 45, 29), clBlack), 20);
  EXPECT_EQ(CountPixels(*bitmap, Rect(3, 31, 45, 36), clBlack), 0);

  list->SetListSize(3);
  bitmap = Paint(*list, "listbox-three");
  EXPECT_GT(CountPixels(*bitmap, Rect(3, 31, 45, 36), clBlack), 10);
  EXPECT_EQ(bitmap->GetPixel(20, 52), clBlack);
}

// Property values far outside any sensible range still give a preview: the
// boxes computed from them are kept within what the canvas takes.
TEST(FormPreviews, ExtremePropertiesStillPaint) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* area = new TWvTextArea(&owner);
  area->SetBounds(1, 1, 40, 30);
  area->SetBackGroundColor(clYellow);
  area->SetRows(2147483647);
  area->SetColumns(2147483647);
  TStringList lines{"x", "y"};
  area->SetValue(&lines);
  auto bitmap = Paint(*area, "textarea-huge");
  EXPECT_EQ(bitmap->GetPixel(30, 20), clWhite);  // the box covers the element
  area->SetRows(-2147483647 - 1);
  area->SetColumns(-2147483647 - 1);
  bitmap = Paint(*area, "textarea-negative");
  EXPECT_EQ(bitmap->GetPixel(30, 20), clYellow);  // no box at all

  auto* list = new TWvListBox(&owner);
  list->SetBounds(1, 1, 40, 30);
  list->SetListSize(2147483647);
  list->SetOptionValues(&lines);
  bitmap = Paint(*list, "listbox-huge");
  EXPECT_EQ(bitmap->GetPixel(30, 20), clWhite);

  auto* field = new TWvTextInputField(&owner);
  field->SetBounds(1, 1, 40, 30);
  field->SetSize(65535);
  field->SetValue(std::string(5000, 'W'));
  bitmap = Paint(*field, "textfield-huge");
  EXPECT_GT(CountPixels(*bitmap, Rect(3, 3, 39, 19), clBlack), 50);  // the value, to the edge
}

// The whole form as the designer shows it; transparent elements take the
// form's colour.
TEST(FormPreviews, FormWithEveryElement) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* form = new TWvInputForm(&owner);
  form->SetName("Form1");
  form->SetBounds(1, 1, 460, 400);
  form->SetBackGroundColor(clYellow);
  auto* field = new TWvTextInputField(&owner);
  field->SetParent(form);
  field->SetBounds(10, 30, 120, 25);
  field->SetValue("Jo Smith");
  field->SetSize(10);
  auto* area = new TWvTextArea(&owner);
  area->SetParent(form);
  area->SetBounds(10, 60, 200, 60);
  TStringList lines{"first line", "second", "third", "fourth"};
  area->SetValue(&lines);
  area->SetRows(2);
  area->SetColumns(12);
  auto* box = new TWvCheckBox(&owner);
  box->SetParent(form);
  box->SetBounds(10, 130, 25, 25);
  box->SetChecked(true);
  auto* radio = new TWvRadioButton(&owner);
  radio->SetParent(form);
  radio->SetBounds(40, 130, 25, 25);
  radio->SetChecked(true);
  auto* drop = new TWvDropDownlist(&owner);
  drop->SetParent(form);
  drop->SetBounds(10, 160, 125, 25);
  TStringList options{"r=Red", "g=Green", "b=Blue"};
  drop->SetOptionValues(&options);
  drop->SetSelected(1);
  auto* list = new TWvListBox(&owner);
  list->SetParent(form);
  list->SetBounds(10, 190, 200, 75);
  list->SetOptionValues(&options);
  list->SetListSize(2);
  auto* button = new TWvSubmitButton(&owner);
  button->SetName("Send");
  button->SetParent(form);
  button->SetBounds(10, 280, 70, 20);
  auto bitmap = Paint(*form, "gallery");
  EXPECT_EQ(bitmap->GetPixel(100, 42), clYellow);  // beside the text field's box
  EXPECT_EQ(bitmap->GetPixel(129, 42), clBlack);   // its thin client frame
  EXPECT_EQ(bitmap->GetPixel(30, 150), clYellow);  // inside the check box element
  EXPECT_EQ(bitmap->GetPixel(15, 140), clWhite);   // inside its square
  EXPECT_TRUE(std::filesystem::exists(TAVKIT_BINARY_DIR "/previews/forms-gallery.png"));
}

}  // namespace
}  // namespace tavkit

// Layout and painting of the bar chart, and its published properties.
#include <tavkit/platform/controls/Chart.h>

#include <algorithm>
#include <cstdint>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

void TChartValue::SetLabel(const std::string& label) {
  FLabel = label;
  Changed(false);
}

void TChartValue::SetValue(int value) {
  FValue = value;
  Changed(false);
}

void TChartValue::SetColor(TColor color) {
  FColor = color;
  Changed(false);
}

void TChartValue::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TChartValue*>(source)) {
    FLabel = other->FLabel;
    FValue = other->FValue;
    FColor = other->FColor;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(source);
}

TPersistent* TChartValues::GetOwner() const {
  return &FChart;
}

void TChartValues::Update(TCollectionItem* item) {
  TCollectionOf<TChartValue>::Update(item);
  FChart.invalidate();
}

TBarChart::TBarChart(TComponent* owner) : TCustomControl(owner) {
  SetBounds(GetLeft(), GetTop(), 320, 200);
  FFont.SetName("ARIAL");
}

void TBarChart::SetTitle(const std::string& title) {
  FTitle = title;
  invalidate();
}

TChartValue* TBarChart::AddValue(const std::string& label, int value, TColor color) {
  TChartValue* item = FValues.AddItem();
  item->SetLabel(label);
  item->SetValue(value);
  item->SetColor(color);
  return item;
}

void TBarChart::SetColor(TColor color) {
  FColor = color;
  invalidate();
}

void TBarChart::SetBarColor(TColor color) {
  FBarColor = color;
  invalidate();
}

void TBarChart::SetAxisColor(TColor color) {
  FAxisColor = color;
  invalidate();
}

void TBarChart::SetMaxValue(int value) {
  FMaxValue = std::max(value, 0);
  invalidate();
}

int TBarChart::GridStep() const {
  // About five gridlines, at 1, 2 or 5 times a power of ten.
  std::int64_t top = FMaxValue;
  if (top == 0)
    for (int i = 0; i < FValues.Count(); ++i)
      top = std::max<std::int64_t>(top, FValues.Items(i)->GetValue());
  top = std::max<std::int64_t>(top, 1);
  std::int64_t raw = std::max<std::int64_t>((top + 4) / 5, 1);
  std::int64_t power = 1;
  while (power * 10 <= raw) power *= 10;
  for (std::int64_t factor : {1, 2, 5, 10})
    if (factor * power >= raw)
      return static_cast<int>(std::min<std::int64_t>(factor * power, 1 << 30));
  return static_cast<int>(std::min<std::int64_t>(power * 10, 1 << 30));
}

int TBarChart::AxisMaximum() const {
  if (FMaxValue > 0) return FMaxValue;
  std::int64_t top = 1;
  for (int i = 0; i < FValues.Count(); ++i)
    top = std::max<std::int64_t>(top, FValues.Items(i)->GetValue());
  std::int64_t step = GridStep();
  return static_cast<int>(std::min<std::int64_t>((top + step - 1) / step * step, INT32_MAX));
}

TRect TBarChart::PlotRect() {
  TCanvas& canvas = Canvas();
  canvas.Font() = FFont.Font();
  int line = canvas.TextHeight("0");
  int labelWidth = canvas.TextWidth(std::to_string(AxisMaximum()));
  int top = 4 + line / 2 + (FTitle.empty() ? 0 : line + 4);
  return TRect{8 + labelWidth, top, GetWidth() - 8, GetHeight() - 8 - line};
}

void TBarChart::paint() {
  TCanvas& canvas = Canvas();
  const int width = GetWidth(), height = GetHeight();
  canvas.Pen().Mode = TPenMode::pmCopy;
  canvas.Pen().Style = TPenStyle::psSolid;
  canvas.Pen().Width = 1;
  canvas.Brush().Style = TBrushStyle::bsSolid;
  canvas.Brush().Color = ColorToRGB(FColor);
  canvas.FillRect(TRect{0, 0, width, height});

  TRect plot = PlotRect();
  canvas.Font() = FFont.Font();
  canvas.Font().Color = ColorToRGB(FFont.GetColor());
  int line = canvas.TextHeight("0");
  if (!FTitle.empty()) {
    unsigned style = canvas.Font().Style;
    canvas.Font().Style |= fsBold;
    DrawCaption(canvas, TRect{0, 4, width, 4 + line}, FTitle, taCenterAlign);
    canvas.Font().Style = style;
  }
  if (plot.Right <= plot.Left || plot.Bottom <= plot.Top) return;

  const std::int64_t maximum = AxisMaximum(), step = GridStep();
  const std::int64_t plotHeight = plot.Bottom - plot.Top;
  auto yOf = [&](std::int64_t value) {
    value = std::clamp<std::int64_t>(value, 0, maximum);
    return plot.Bottom - static_cast<int>(value * plotHeight / maximum);
  };

  // Gridlines with their values to the left of the axis.
  for (std::int64_t value = 0; value <= maximum; value += step) {
    int y = yOf(value);
    canvas.Pen().Color = ColorToRGB(clSilver);
    canvas.MoveTo(plot.Left, y);
    canvas.LineTo(plot.Right, y);
    DrawCaption(canvas, TRect{0, y - line / 2, plot.Left - 4, y - line / 2 + line},
                std::to_string(value), taRightJustify);
  }

  // One slot per value; the bar takes two thirds of its slot.
  const int count = FValues.Count();
  if (count > 0) {
    const std::int64_t plotWidth = plot.Right - plot.Left;
    for (int i = 0; i < count; ++i) {
      const TChartValue* item = FValues.Items(i);
      int slotLeft = plot.Left + static_cast<int>(plotWidth * i / count);
      int slotRight = plot.Left + static_cast<int>(plotWidth * (i + 1) / count);
      int barWidth = std::max((slotRight - slotLeft) * 2 / 3, 1);
      int barLeft = slotLeft + (slotRight - slotLeft - barWidth) / 2;
      canvas.Brush().Style = TBrushStyle::bsSolid;
      canvas.Brush().Color = ColorToRGB(item->GetColor() == clNone ? FBarColor : item->GetColor());
      canvas.FillRect(TRect{barLeft, yOf(item->GetValue()), barLeft + barWidth, plot.Bottom});
      DrawCaption(canvas, TRect{slotLeft, plot.Bottom + 4, slotRight, plot.Bottom + 4 + line},
                  item->GetLabel(), taCenterAlign);
    }
  }

  canvas.Pen().Color = ColorToRGB(FAxisColor);
  canvas.MoveTo(plot.Left, plot.Top - line / 2);
  canvas.LineTo(plot.Left, plot.Bottom);
  canvas.LineTo(plot.Right, plot.Bottom);
}

namespace Chart {

void RegisterClasses() {
  StdCtrls::RegisterClasses();
  using namespace props;
  RegisterClass<TChartValues, TCollection>({});
  RegisterClass<TChartValue, TCollectionItem>({
      String<TChartValue>("Label", &TChartValue::GetLabel, &TChartValue::SetLabel),
      Integer<TChartValue>("Value", &TChartValue::GetValue, &TChartValue::SetValue),
      Color<TChartValue>("Color", &TChartValue::GetColor, &TChartValue::SetColor),
  });
  RegisterClass<TBarChart, TCustomControl>({
      String<TBarChart>("Title", &TBarChart::GetTitle, &TBarChart::SetTitle),
      Collection<TBarChart>("Values", &TBarChart::GetValues),
      Color<TBarChart>("Color", &TBarChart::GetColor, &TBarChart::SetColor),
      Color<TBarChart>("BarColor", &TBarChart::GetBarColor, &TBarChart::SetBarColor),
      Color<TBarChart>("AxisColor", &TBarChart::GetAxisColor, &TBarChart::SetAxisColor),
      Integer<TBarChart>("MaxValue", &TBarChart::GetMaxValue, &TBarChart::SetMaxValue),
      Object<TBarChart>("Font", &TBarChart::GetFont),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Additional", {"TBarChart"});
}

}  // namespace Chart

}  // namespace tavkit

// A simple bar chart control: a title, a value axis with gridlines and one
// labelled bar per value. It paints itself like any native control, so a page
// can show server-drawn statistics through the wrapper element.
//
// ```cpp
// TComponent form(nullptr);
// auto* chart = new TBarChart(&form);
// chart->SetBounds(0, 0, 300, 200);
// chart->SetTitle("Visitors");
// chart->AddValue("Mon", 120);
// chart->AddValue("Tue", 180, clMaroon);      // a bar in a colour of its own
// TBitmap picture(300, 200);
// chart->PaintTo(picture.Canvas(), 0, 0);
// picture.SaveToPNGFile("visitors.png");
// ```
#pragma once

#include <string>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/controls/StdCtrls.h>

namespace tavkit {

// One bar: its label under the axis, its value and, when not clNone, its own
// colour instead of the chart's bar colour.
class TChartValue : public TCollectionItem {
 public:
  explicit TChartValue(TCollection* collection) : TCollectionItem(collection) {}

  const std::string& GetLabel() const { return FLabel; }
  void SetLabel(const std::string& label);
  int GetValue() const { return FValue; }
  void SetValue(int value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  void Assign(const TPersistent* source) override;

 private:
  std::string FLabel;
  int FValue = 0;
  TColor FColor = clNone;
};

class TBarChart;

class TChartValues : public TCollectionOf<TChartValue> {
 public:
  explicit TChartValues(TBarChart& chart) : FChart(chart) {}
  TPersistent* GetOwner() const override;

 protected:
  void Update(TCollectionItem* item) override;

 private:
  TBarChart& FChart;
};

class TBarChart : public TCustomControl {
 public:
  explicit TBarChart(TComponent* owner);

  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& title);
  TChartValues* GetValues() { return &FValues; }
  // Adds a bar at the end; a convenience for code that fills the chart.
  TChartValue* AddValue(const std::string& label, int value, TColor color = clNone);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  TColor GetBarColor() const { return FBarColor; }
  void SetBarColor(TColor color);
  TColor GetAxisColor() const { return FAxisColor; }
  void SetAxisColor(TColor color);
  // The top of the value axis; 0 chooses a round number above the largest value.
  int GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(int value);
  TControlFont* GetFont() { return &FFont; }

  // The axis maximum and the distance between gridlines actually used.
  int AxisMaximum() const;
  int GridStep() const;
  // Where the bars are drawn, inside the control.
  TRect PlotRect();

 protected:
  void paint() override;

 private:
  std::string FTitle;
  TChartValues FValues{*this};
  TColor FColor = clWhite;
  TColor FBarColor = clNavy;
  TColor FAxisColor = clBlack;
  int FMaxValue = 0;
  TControlFont FFont{*this};
};

namespace Chart {
void RegisterClasses();
// Publishes the chart and puts it on the palette page "Additional".
void Register();
}  // namespace Chart

}  // namespace tavkit

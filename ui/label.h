// The label (Label, 标签): static text that draws itself.
//
// Properties: 8 text; 9 effect (0 plain; 1 a white copy one pixel down and
// right behind the text, 2 a black copy there, 3 a white copy one pixel up
// and left); 10 border (0 none, 1 sunken, 2 raised, 3 shallow sunken, 4
// frame, 5 single line, 6 gradient border of width 11 in the colours 12 (outer)
// to 14 (inner) through 13); 15 font; 16 text colour; 17 background colour;
// 18 background picture; 19 picture placement (0 stretched over the label,
// 1 at the top left, 2 centred, 3 tiled); 20 gradient background (0 none, 1
// left to right, 2 top to bottom) in the colours 21 to 23; 24 horizontal
// alignment (0 left, 1 centre, 2 right); 25 word wrap; 26 vertical alignment
// (0 top, 1 centre, 2 bottom; one line, used when word wrap is off).
// The text is drawn transparently over the background; an ampersand is shown
// as it is. Colours left unset are the system's (text black on the window
// face).
#pragma once


#include <string_view>

#include "ui/property_values.h"
#include "ui/self_drawn_control.h"

namespace tarnwick {

class Label : public SelfDrawnControl {
 public:
  static constexpr int kText = 8;
  static constexpr int kEffect = 9;
  static constexpr int kBorder = 10;
  static constexpr int kBorderWidth = 11;
  static constexpr int kBorderColor1 = 12;
  static constexpr int kBorderColor2 = 13;
  static constexpr int kBorderColor3 = 14;
  static constexpr int kFont = 15;
  static constexpr int kTextColor = 16;
  static constexpr int kBackground = 17;
  static constexpr int kPicture = 18;
  static constexpr int kPicturePlacement = 19;
  static constexpr int kGradientMode = 20;
  static constexpr int kGradientColor1 = 21;
  static constexpr int kGradientColor2 = 22;
  static constexpr int kGradientColor3 = 23;
  static constexpr int kHorizontalAlign = 24;
  static constexpr int kWordWrap = 25;
  static constexpr int kVerticalAlign = 26;
  static constexpr int kLastProperty = 26;

  Label(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  std::string text() const;
  void SetText(std::string text) { SetProperty(kText, std::move(text)); }
  // Colours with defaults resolved.
  Color text_color() const;
  Color background() const;
  void SetTextColor(Color color) { SetProperty(kTextColor, color); }
  void SetBackground(Color color) { SetProperty(kBackground, color); }
  // Whether text, drawn as the label draws its own, fits inside its border
  // at the label's size, in its font as the window system measures it.
  bool TextFits(std::string_view text);

 protected:
  void Paint(Canvas& canvas, const Rect& dirty) override;

 private:
  int GradientBand() const;
  int TextFlags() const;
  Font TextFont() const;
  Value& slot(int number) { return properties_[number]; }
  const Value& slot(int number) const { return properties_[number]; }

  PropertyTable<kLastProperty> properties_;
};

}  // namespace tarnwick

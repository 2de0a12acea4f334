// The image button (SuperBtn, 超级按钮): a push button that draws itself in
// one of four states — normal, lit (pointer over it), focused, disabled —
// each with its own caption colour, background and image.
//
// Properties (by number): 8 按钮风格 look (0 flat, 1 three-dimensional, 2 XP);
// 9 选择框方式 and 10 选中 (check-box mode, kept but not acted on); 11 对齐方式
// (0 image left, 1 image above, 2 image right, 3 overlaid); 12 压入方式 (0
// pressed content moves right and down, 1 only down); 13 绘制边框; 14 绘制焦点;
// 15/16 normal picture and its transparent colour; 17/18 lit picture and
// its transparent colour; 19/20 disabled picture and its transparent
// colour; 21 font; 22 标题 caption ("\r\n" breaks lines, "&" marks the
// mnemonic); 23 使用默认色; 24..29 normal, lit and focused caption and
// background colours; 30..32 sounds (kept, never played); 33 tooltip; 34 默认类型
// (0 normal, 1 default button).
// A colour left unset (monostate) is the system colour for that part; a
// transparent colour left unset is the picture's top-left pixel. Pictures
// that carry their own alpha (icons) use it and ignore the transparent colour.
// Disabled, the caption keeps the normal caption colour (the system's grey
// text only when that colour is the system's); a caption of line breaks alone
// takes no room, so the picture keeps its size.
// Event 0, 被单击 (clicked): a left click on the enabled button, Space while
// it has the focus, or its mnemonic.
#pragma once

#include <optional>

#include "ui/property_values.h"
#include "ui/self_drawn_control.h"

namespace tarnwick {

class SuperBtn : public SelfDrawnControl {
 public:
  static constexpr int kStyle = 8;
  static constexpr int kCheckMode = 9;
  static constexpr int kChecked = 10;
  static constexpr int kPlacement = 11;
  static constexpr int kPressMode = 12;
  static constexpr int kDrawBorder = 13;
  static constexpr int kDrawFocus = 14;
  static constexpr int kNormalPicture = 15;
  static constexpr int kNormalTransparent = 16;
  static constexpr int kLitPicture = 17;
  static constexpr int kLitTransparent = 18;
  static constexpr int kDisabledPicture = 19;
  static constexpr int kDisabledTransparent = 20;
  static constexpr int kFont = 21;
  static constexpr int kCaption = 22;
  static constexpr int kUseDefaultColors = 23;
  static constexpr int kNormalText = 24;
  static constexpr int kNormalBackground = 25;
  static constexpr int kLitText = 26;
  static constexpr int kLitBackground = 27;
  static constexpr int kFocusText = 28;
  static constexpr int kFocusBackground = 29;
  static constexpr int kStandardSound = 30;
  static constexpr int kEnterSound = 31;
  static constexpr int kClickSound = 32;
  static constexpr int kToolTip = 33;
  static constexpr int kDefaultKind = 34;
  static constexpr int kLastProperty = 34;

  static constexpr int kClicked = 0;

  enum class Look { kFlat = 0, kThreeDimensional = 1, kXp = 2 };
  enum class Placement { kImageLeft = 0, kImageAbove = 1, kImageRight = 2, kOverlaid = 3 };
  enum class State { kNormal, kLit, kFocused, kDisabled };

  SuperBtn(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  // Typed access to what the program changes at run time.
  std::string caption() const;
  void SetCaption(std::string caption) { SetProperty(kCaption, std::move(caption)); }

  // The state the button is drawn in now.
  State state() const;
  bool lit() const { return lit_; }
  bool pressed() const { return pressed_; }
  // The caption and background colours of a state, defaults resolved.
  Color TextColorOf(State state) const;
  Color BackgroundOf(State state) const;
  // The picture drawn in a state (transparency applied, the disabled one
  // generated when not given); empty when the button has none.
  Image PictureOf(State state) const;

  bool IsClickable() const override { return true; }
  std::string MnemonicCaption() const override { return caption(); }
  void ClickByMnemonic() override;

 protected:
  void Paint(Canvas& canvas, const Rect& dirty) override;
  void HandleMouse(const MouseEvent& event) override;
  void HandleKey(const KeyEvent& event) override;
  void OnMouseLeave() override;
  void OnFocusChanged(bool has_focus) override;
  void OnEnabledChanged() override;

 private:
  void DescribeForScreenReaders();
  Value& slot(int number) { return properties_[number]; }
  const Value& slot(int number) const { return properties_[number]; }
  int IntProperty(int number, int fallback) const;
  bool BoolProperty(int number, bool fallback) const;
  std::optional<Color> ColorProperty(int number) const;
  Font CaptionFont() const;
  void SetLit(bool lit);

  PropertyTable<kLastProperty> properties_;
  bool lit_ = false;
  bool pressed_ = false;       // the left button is held down on it
  bool space_pressed_ = false;
  bool focused_ = false;
};

}  // namespace tarnwick

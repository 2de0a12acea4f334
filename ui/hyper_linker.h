// The hyperlink (HyperLinker, 超级链接框): a caption drawn as a link that opens
// its target.
//
// Properties: 8 caption; 9 link kind (0 e-mail, 1 web page); 10 e-mail
// address; 11 web address; 12 link colour (default RGB 0, 0, 255); 13 colour
// once the link was opened (default RGB 128, 0, 0); 14 colour while the
// pointer is over it (unset: the link colour); 15 background colour; 16
// underline (0 always, 1 only while the pointer is over it, 2 never); 17
// font.
// Activating it (a left click, or Space or Enter while it has the focus)
// opens "mailto:" + the e-mail address (kind 0) or the web address (kind 1)
// with the shell's open verb; when that fails, the program registered for
// ".htm" files is run with the target. An empty address does nothing.
#pragma once

#include <optional>
#include <string>

#include "ui/self_drawn_control.h"

namespace tarnwick {

// The fallback command line: the registered ".htm" open command cut before
// the placeholder "%1" written between double quotes, or else before a bare
// %1 (left whole when neither occurs), then a blank and the target.
std::string HtmlFallbackCommandLine(const std::string& open_command, const std::string& target);

class HyperLinker : public SelfDrawnControl {
 public:
  static constexpr int kCaption = 8;
  static constexpr int kLinkKind = 9;
  static constexpr int kMailAddress = 10;
  static constexpr int kWebAddress = 11;
  static constexpr int kLinkColor = 12;
  static constexpr int kVisitedColor = 13;
  static constexpr int kHoverColor = 14;
  static constexpr int kBackground = 15;
  static constexpr int kUnderline = 16;
  static constexpr int kFont = 17;

  HyperLinker(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  // The target the link opens; empty when its address is empty.
  std::string Target() const;
  // Opens the target as a user's activation does. Answers whether anything
  // was started.
  bool Open();
  // The colour the caption is drawn in now.
  Color CurrentColor() const;

 protected:
  void Paint(Canvas& canvas, const Rect& dirty) override;
  void HandleMouse(const MouseEvent& event) override;
  void HandleKey(const KeyEvent& event) override;
  void OnMouseLeave() override;

 private:
  std::string caption_;
  int kind_ = 1;
  std::string mail_, web_;
  Color link_color_ = Rgb(0, 0, 255);
  Color visited_color_ = Rgb(128, 0, 0);
  std::optional<Color> hover_color_;
  std::optional<Color> background_;
  int underline_ = 0;
  std::optional<Font> font_;
  bool hovered_ = false;
  bool pressed_ = false;
  bool visited_ = false;
};

}  // namespace tarnwick

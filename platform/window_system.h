// Windows and native controls.
//
// Top-level windows, the standard controls the program uses (push button,
// check box, list box, single-line edit, rich multi-line edit, drop-down list,
// group frame) and an owner-drawn surface for self-drawn widgets. Native
// controls stay the window system's own; the widgets in ui/ only configure
// them and listen to them.
//
// Ownership: the caller owns what it creates; destroying the object destroys
// the native window. Children must be destroyed before their parent.
// Geometry: a top-level window's rectangle is its outer frame in screen
// coordinates, exactly as the layout gives it (371 x 596 and so on); the
// backend maps it to its own frame metrics so that the client area is what
// the layout needs (365 x 568 at 371 x 596 with a fixed frame and title bar:
// 3 pixels each side, 25 above, 3 below; platform/frame_metrics.h holds the
// mapping every backend uses). A control's rectangle is relative to its
// parent's client area (a window or a group frame).
// Texts are GBK; line breaks inside texts are "\r\n" in both directions.
// Everything runs on the one user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/image.h"
#include "platform/types.h"

namespace tarnwick {

// Receives what the window system reports about one control. Every method
// has a default that does nothing and lets processing go on.
// Mouse and key notifications arrive before the control processes the input
// itself; answering false stops it (a right press answered false gives a
// rich edit no right-click handling of its own).
class ControlListener {
 public:
  virtual ~ControlListener() = default;

  // Button presses, releases, double clicks and moves over the control
  // (between a press and its release the control receives all mouse input).
  virtual bool OnMouse(const MouseEvent& event) { (void)event; return true; }
  // The pointer has left the control.
  virtual void OnMouseLeave() {}
  // The wheel turned. A turn goes to the control with the keyboard focus,
  // wherever the pointer is; but while the focus is in a text entry (edit,
  // rich edit), a turn with the pointer over another control of the same
  // window goes to that control, so the wheel works there while the focus
  // stays with what the user types.
  virtual bool OnWheel(const WheelEvent& event) { (void)event; return true; }
  // A key went down or up while the control had the focus.
  virtual bool OnKey(const KeyEvent& event) { (void)event; return true; }
  // A character was typed: its GBK code (byte value below 0x80, lead * 256 +
  // trail for a double-byte character, the four bytes for GB18030 codes).
  virtual bool OnCharacter(std::uint32_t code) { (void)code; return true; }
  // The control gained (true) or lost (false) the keyboard focus.
  virtual void OnFocusChanged(bool has_focus) { (void)has_focus; }
  // Push button and check box: clicked by the user (mouse, Space, or
  // NativeButton::Click). A check box has already toggled its mark.
  virtual void OnClicked() {}
  // List box and drop-down list: the user changed the selection. Never
  // raised when the program sets the selection.
  virtual void OnSelectionChanged() {}
  // Edits: the user changed the text.
  virtual void OnTextChanged() {}
  // Owner-drawn surface: paint the region `dirty` (in canvas coordinates) of
  // the whole client area. Pixels outside dirty may be discarded.
  virtual void OnPaint(Canvas& canvas, const Rect& dirty) { (void)canvas; (void)dirty; }
};

// Receives what the window system reports about a top-level window. Mouse,
// wheel and key input on the window's own client area (outside its controls)
// arrives through the ControlListener methods.
class WindowListener : public ControlListener {
 public:
  // The window became the active window (true) or lost activation (false).
  // On a loss, to_other_program tells whether the activation left the
  // program (a window of another program took it, or none did) rather than
  // going to one of the program's own windows: a message box, an input box,
  // a file dialog, another top-level window. A program's own dialog gives
  // the activation back to the window it took it from when it closes.
  virtual void OnActivationChanged(bool active, bool to_other_program) {
    (void)active;
    (void)to_other_program;
  }
  // The user asked to close the window (close box, Alt+F4, system menu).
  // The backend never closes or destroys a window by itself: the listener
  // decides and destroys the window object when it wants it gone. The answer
  // is informational (true: the close went ahead).
  virtual bool OnCloseRequested() { return true; }
  // A key went down with Alt held (and neither Ctrl nor Shift), while the
  // window or any of its controls had the focus; it arrives here before the
  // focused control sees it. Answering true consumes it: the program handles
  // keyboard mnemonics itself, so native controls never act on their own
  // ampersand captions.
  virtual bool OnMnemonicKey(const KeyEvent& event) { (void)event; return false; }
};

// What a control can be parented to: a top-level window or a group frame.
class NativeParent {
 public:
  virtual ~NativeParent() = default;
};

// Operations every native control offers.
class NativeControl {
 public:
  virtual ~NativeControl() = default;

  // Moves and sizes the control within its parent's client area.
  virtual void SetRect(const Rect& rect) = 0;
  // Shows or hides it (a hidden parent hides its children regardless).
  virtual void SetVisible(bool visible) = 0;
  // A disabled control is greyed and takes no mouse or keyboard input.
  virtual void SetEnabled(bool enabled) = 0;
  // Gives it the keyboard focus (if it is visible and enabled).
  virtual void SetFocus() = 0;
  virtual bool HasFocus() const = 0;
  // Whether Tab reaches it. Tab and Shift+Tab move the focus between the
  // controls of a window that take it, in the order of their creation; the
  // controls inside a surface come before the surface itself.
  virtual void SetTabStop(bool tab_stop) = 0;
  // Text shown in a tooltip while the pointer rests on the control; empty
  // for none.
  virtual void SetToolTip(std::string_view text) = 0;
  virtual void SetFont(const Font& font) = 0;
  virtual void SetCursor(CursorShape shape) = 0;
  // Places the control above its siblings (drawn over those it overlaps).
  virtual void RaiseAboveSiblings() = 0;
};

// What a screen reader is told about a self-drawn surface: its role and
// name, and its parts (the days of a calendar) with their names and
// rectangles in the surface. Texts are GBK.
enum class AccessibleRole { kClient, kButton, kStaticText, kLink, kGraphic, kTable };
struct AccessiblePart {
  std::string name;
  Rect rect;
  friend bool operator==(const AccessiblePart&, const AccessiblePart&) = default;
};
struct AccessibleDescription {
  AccessibleRole role = AccessibleRole::kClient;
  std::string name;
  std::vector<AccessiblePart> parts;
  int focused_part = -1;  // the part the keyboard is on, -1 for none
};

// A self-drawn child: the backend asks its listener to paint (OnPaint) into
// an off-screen buffer that it then shows, so no flicker is seen. It may
// parent native controls of its own (a calendar's drop-down lists), which
// are drawn above its painting.
class NativeSurface : public NativeControl, public NativeParent {
 public:
  // Marks rect (client coordinates) for repainting; the paint happens when
  // pending events are processed.
  virtual void Invalidate(const Rect& rect) = 0;
  // Marks the whole client area.
  virtual void InvalidateAll() = 0;
  // Paints the invalid region now, if there is one.
  virtual void Update() = 0;
  // Whether clicking the surface gives it the keyboard focus.
  virtual void SetTakesFocus(bool takes_focus) = 0;
  // Replaces what a screen reader is told; a new focused part, while the
  // surface has the focus, is announced.
  virtual void SetAccessible(const AccessibleDescription& description) = 0;
};

// The standard push button.
class NativeButton : public NativeControl {
 public:
  // The caption; an ampersand underlines the next character (and does not
  // act as a mnemonic: see WindowListener::OnMnemonicKey).
  virtual void SetCaption(std::string_view caption) = 0;
  // An icon shown left of the caption; an empty image removes it.
  virtual void SetIcon(const Image& icon) = 0;
  // Acts as a user click: raises OnClicked when the button is enabled.
  virtual void Click() = 0;
};

// The standard check box (caption right of the mark).
class NativeCheckBox : public NativeControl {
 public:
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual bool IsChecked() const = 0;
  // Acts as a user click: toggles the mark, then raises OnClicked, when the
  // check box is enabled.
  virtual void Click() = 0;
};

// Borders of edits and list boxes.
enum class ControlBorder { kNone, kSunken, kRaised, kShallowSunken, kFrame, kSingleLine };

// The standard list box. Items are kept in the order they are inserted: the
// program computes sorted positions itself so that every backend sorts alike.
class NativeListBox : public NativeControl {
 public:
  virtual void Clear() = 0;
  // Inserts an item before index (index == Count() appends).
  virtual void InsertItem(int index, std::string_view text) = 0;
  virtual int Count() const = 0;
  // The text of the item at index; empty when index is out of range.
  virtual std::string ItemText(int index) const = 0;
  // The selected index, -1 for none.
  virtual int Selection() const = 0;
  // Selects index (-1: none) and scrolls it into view; raises nothing.
  virtual void SetSelection(int index) = 0;
  // Item height = font height + spacing pixels.
  virtual void SetItemSpacing(int spacing) = 0;
  // Colours of the item texts and of the background.
  virtual void SetColors(Color text, Color background) = 0;
  virtual void SetBorder(ControlBorder border) = 0;
  // Several columns with a horizontal scroll bar instead of one column.
  virtual void SetMultiColumn(bool multi_column) = 0;
};

// The standard single-line edit.
class NativeEdit : public NativeControl {
 public:
  // Replaces the text; raises no OnTextChanged.
  virtual void SetText(std::string_view text) = 0;
  // The text as shown (typed characters GBK lacks as GB18030 codes).
  virtual std::string Text() const = 0;
  // Colours of the text and of the entry's background.
  virtual void SetColors(Color text, Color background) = 0;
  virtual void SetBorder(ControlBorder border) = 0;
  // Characters are shown as '*' (text is still returned as typed).
  virtual void SetMasked(bool masked) = 0;
  // Maximum length in bytes of what the user types or pastes; 0 for none.
  // Text set by the program is kept whole (see base/editor_text.h).
  virtual void SetMaxLength(int bytes) = 0;
  // The user cannot change the text (the program still can).
  virtual void SetReadOnly(bool read_only) = 0;
};

// The system rich edit control, used for plain text. Positions and lengths
// count GBK bytes (a double-byte character counts two; a position inside a
// character is moved to its start). Line breaks read as "\r\n".
class NativeRichEdit : public NativeControl {
 public:
  // Replaces the whole text, puts the caret at 0 and clears the modified
  // flag; raises no OnTextChanged.
  virtual void SetText(std::string_view text) = 0;
  virtual std::string Text() const = 0;
  // The user cannot change the text (selection and copy still work).
  virtual void SetReadOnly(bool read_only) = 0;
  virtual bool IsReadOnly() const = 0;
  virtual void SetBackground(Color background) = 0;
  virtual void SetBorder(ControlBorder border) = 0;
  // Whether Enter starts a new line.
  virtual void SetMultiLine(bool multi_line) = 0;
  // Whether Tab types a tab character into the text; Ctrl+Tab and
  // Ctrl+Shift+Tab then move the focus on and back as Tab does elsewhere.
  // Otherwise Tab moves the focus.
  virtual void SetTypesTab(bool types_tab) = 0;
  // Whether lines wrap at the right edge (else a horizontal scroll).
  virtual void SetWordWrap(bool word_wrap) = 0;
  // The selection is hidden while the control has no focus.
  virtual void SetHideSelection(bool hide) = 0;
  // Maximum length in bytes of what the user types or pastes (Paste
  // included); 0 for none. Text set by the program is kept whole (see
  // base/editor_text.h).
  virtual void SetMaxLength(int bytes) = 0;
  // Selects from start for length bytes, both clamped to the text; length -1
  // selects to the end. A zero length places the caret at start.
  virtual void SetSelection(int start, int length) = 0;
  // Start of the selection, or the caret position without one.
  virtual int SelectionStart() const = 0;
  virtual int SelectionLength() const = 0;
  virtual std::string SelectedText() const = 0;
  // Where a menu for the caret opens: the bottom left of the caret, in the
  // control's client coordinates (while the control has the focus).
  virtual Point CaretPoint() const = 0;
  // The standard clipboard operations, as the user would do them: copy the
  // selection; cut it (not when read-only); paste the clipboard text at the
  // caret replacing the selection (not when read-only); delete the selection
  // without touching the clipboard (not when read-only).
  virtual void Copy() = 0;
  virtual void Cut() = 0;
  virtual void Paste() = 0;
  virtual void Clear() = 0;
  // Whether the user changed the text since the last SetText.
  virtual bool IsModified() const = 0;
};

// A drop-down list (the user picks one item; no typing).
class NativeDropDownList : public NativeControl {
 public:
  // Replaces the items; nothing is selected afterwards; raises nothing.
  virtual void SetItems(const std::vector<std::string>& items) = 0;
  virtual int Count() const = 0;
  // The text of the item at index; empty when out of range.
  virtual std::string ItemText(int index) const = 0;
  // The selected index, -1 for none.
  virtual int Selection() const = 0;
  // Selects index (-1: none); raises nothing.
  virtual void SetSelection(int index) = 0;
};

// A framed container with a caption; controls created with it as parent
// are positioned inside it and move and hide with it.
class NativeGroupFrame : public NativeControl, public NativeParent {
 public:
  // An empty caption draws the frame without a gap.
  virtual void SetCaption(std::string_view caption) = 0;
};

// Border styles of a top-level window, as the layout numbers them.
enum class FrameStyle {
  kNone = 0,
  kResizable = 1,
  kFixed = 2,
  kResizableTool = 3,
  kFixedTool = 4,
  kResizableSunken = 5,
  kFixedSunken = 6,
};

struct WindowStyle {
  FrameStyle frame = FrameStyle::kFixed;
  // A title bar shows when the frame is not kNone and either the caption is
  // not empty or system_menu is set.
  bool system_menu = true;  // system menu with the close box
  bool minimize_box = false;
  bool maximize_box = false;
  bool movable = true;        // false: the system menu has no move command
  bool in_taskbar = true;
  bool always_on_top = false;
  // false: showing, clicking or ordering the window never activates it.
  bool takes_activation = true;
  Color background = Rgb(212, 208, 200);
};

// Window order operations; none activates the window, moves or sizes it.
enum class WindowOrder {
  kTop = 1,              // above the other windows of its band
  kBottom = 2,           // below all other windows
  kAlwaysOnTop = 3,      // into the always-on-top band, at its top
  kNotAlwaysOnTop = 4,   // out of that band, at the top of the normal band
};

// A top-level window; also the parent of its controls.
class NativeWindow : public NativeParent {
 public:
  // The title bar's text (and the task bar's).
  virtual void SetCaption(std::string_view caption) = 0;
  // Outer frame in screen coordinates (see the geometry note above).
  virtual Rect OuterRect() const = 0;
  virtual void SetOuterRect(const Rect& rect) = 0;
  // The client area's size for the current outer size.
  virtual Size ClientSize() const = 0;
  // Screen position of the client area's top left corner.
  virtual Point ClientOrigin() const = 0;
  // Shows the window as the system shows a window by default (a window that
  // takes activation becomes active).
  virtual void Show() = 0;
  // Hides the window; if it was active, the system activates another.
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  // See WindowOrder; never activates, moves or sizes the window.
  virtual void SetWindowOrder(WindowOrder order) = 0;
  // Makes the window the active window and brings it to the front.
  virtual void Activate() = 0;
  virtual bool IsActive() const = 0;
  // The colour of the client area outside the controls.
  virtual void SetBackground(Color color) = 0;
};

// Creates windows and native controls; also the system colour scheme.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // A hidden top-level window with the given outer rectangle and caption.
  virtual std::unique_ptr<NativeWindow> CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                     std::string_view caption, WindowListener& listener) = 0;

  // Native controls: created visible and enabled at rect inside parent, with
  // the default GUI font, taking Tab focus; listener receives their
  // notifications and must outlive them.
  virtual std::unique_ptr<NativeSurface> CreateSurface(NativeParent& parent, const Rect& rect,
                                                       ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeButton> CreateButton(NativeParent& parent, const Rect& rect,
                                                     ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeCheckBox> CreateCheckBox(NativeParent& parent, const Rect& rect,
                                                         ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeListBox> CreateListBox(NativeParent& parent, const Rect& rect,
                                                       ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeEdit> CreateEdit(NativeParent& parent, const Rect& rect,
                                                 ControlListener& listener) = 0;
  // Fails (nullptr) when the system has no rich edit control.
  virtual std::unique_ptr<NativeRichEdit> CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                         ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeDropDownList> CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                                 ControlListener& listener) = 0;
  virtual std::unique_ptr<NativeGroupFrame> CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) = 0;

  // The colour of a role of the system colour scheme.
  virtual Color GetSystemColor(SystemColor role) const = 0;
  // The system's default GUI font, resolved (face and height filled in).
  virtual Font DefaultGuiFont() const = 0;

  // An off-screen canvas for drawing outside a paint (measuring, tests).
  virtual std::unique_ptr<Canvas> CreateOffscreenCanvas(Size size) = 0;
};

}  // namespace tarnwick

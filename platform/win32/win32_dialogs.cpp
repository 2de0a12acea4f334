#include "platform/win32/win32_dialogs.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_window_handle.h"

namespace tarnwick::win32 {

std::wstring CommonDialogFilter(std::string_view gbk_filter) {
  std::wstring filter = WideText(gbk_filter);
  if (filter.empty()) filter = L"*.*|*.*";
  // Pairs only: a description without a pattern is left out.
  size_t separators = 0;
  for (wchar_t& character : filter) {
    if (character == L'|') {
      character = L'\0';
      ++separators;
    }
  }
  if (separators % 2 == 0) {
    size_t last = filter.rfind(L'\0');
    filter.resize(last == std::wstring::npos ? 0 : last);
  }
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

std::string WithDefaultExtension(std::string path, std::string_view extension) {
  if (extension.empty()) return path;
  // The name starts after the last separator; '\\' may be the trail byte of
  // a double-byte character, so the characters are walked.
  size_t name_start = 0;
  for (size_t position = 0; position < path.size();) {
    size_t length = GbkCharLength(path, position);
    if (length == 1 && (path[position] == '\\' || path[position] == '/')) name_start = position + 1;
    position += length;
  }
  if (path.find('.', name_start) != std::string::npos) return path;
  path += '.';
  path.append(extension);
  return path;
}

// A dialog gives the foreground back to the window it took it from. Wine
// without a window manager leaves it nowhere, and the program, with no
// active window, would never hear that the user turned to another one.
class ActivationReturn {
 public:
  ActivationReturn() : opener_(GetForegroundWindow()) {
    DWORD process = 0;
    if (opener_ != nullptr) GetWindowThreadProcessId(opener_, &process);
    if (process != GetCurrentProcessId()) opener_ = nullptr;
  }
  ~ActivationReturn() {
    if (opener_ != nullptr && IsWindow(opener_) && IsWindowVisible(opener_) && GetForegroundWindow() != opener_) {
      SetForegroundWindow(opener_);
    }
  }
  ActivationReturn(const ActivationReturn&) = delete;
  ActivationReturn& operator=(const ActivationReturn&) = delete;

 private:
  HWND opener_;
};

MessageResult Win32Dialogs::ShowMessageBox(const MessageBoxRequest& request) {
  UINT flags = 0;
  switch (request.buttons) {
    case MessageButtons::kOk: flags |= MB_OK; break;
    case MessageButtons::kOkCancel: flags |= MB_OKCANCEL; break;
    case MessageButtons::kYesNo: flags |= MB_YESNO; break;
    case MessageButtons::kYesNoCancel: flags |= MB_YESNOCANCEL; break;
    case MessageButtons::kRetryCancel: flags |= MB_RETRYCANCEL; break;
  }
  switch (request.icon) {
    case MessageIcon::kInformation: flags |= MB_ICONINFORMATION; break;
    case MessageIcon::kWarning: flags |= MB_ICONWARNING; break;
    case MessageIcon::kError: flags |= MB_ICONERROR; break;
    case MessageIcon::kQuestion: flags |= MB_ICONQUESTION; break;
    case MessageIcon::kNone: break;
  }
  if (request.default_button == 1) flags |= MB_DEFBUTTON2;
  if (request.default_button >= 2) flags |= MB_DEFBUTTON3;
  HWND owner = WindowHandleOf(request.owner);
  // Owner-less: modal to every window of the program.
  if (owner == nullptr) flags |= MB_TASKMODAL;
  flags |= MB_SETFOREGROUND;
  int answer = 0;
  {
    ActivationReturn activation;
    answer = MessageBoxW(owner, WideText(request.text).c_str(), WideText(request.title).c_str(), flags);
  }
  switch (answer) {
    case IDOK: return MessageResult::kOk;
    case IDYES: return MessageResult::kYes;
    case IDNO: return MessageResult::kNo;
    case IDRETRY: return MessageResult::kRetry;
    default: break;
  }
  // Closed otherwise: Cancel, or No / OK where there is no Cancel button.
  if (request.buttons == MessageButtons::kOk) return MessageResult::kOk;
  if (request.buttons == MessageButtons::kYesNo) return MessageResult::kNo;
  return MessageResult::kCancel;
}

namespace {

// An in-memory dialog template (DLGTEMPLATE with DLGITEMTEMPLATE entries),
// written word by word.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, int item_count) {
    AddDword(style);
    AddDword(0);  // extended style
    Add(static_cast<WORD>(item_count));
    Add(0);  // x, y: centred by DS_CENTER
    Add(0);
    Add(static_cast<WORD>(width));
    Add(static_cast<WORD>(height));
    Add(0);  // no menu
    Add(0);  // the standard dialog class
    Add(0);  // title set in WM_INITDIALOG
    Add(9);  // DS_SETFONT: point size, then the face
    AddString(L"MS Shell Dlg");
  }

  // class_atom: 0x0080 button, 0x0081 edit, 0x0082 static.
  void AddItem(DWORD style, short x, short y, short width, short height, WORD id, WORD class_atom) {
    while (words_.size() % 2 != 0) Add(0);  // DWORD alignment
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    Add(static_cast<WORD>(x));
    Add(static_cast<WORD>(y));
    Add(static_cast<WORD>(width));
    Add(static_cast<WORD>(height));
    Add(id);
    Add(0xFFFF);
    Add(class_atom);
    Add(0);  // text set in WM_INITDIALOG
    Add(0);  // no creation data
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Add(WORD word) { words_.push_back(word); }
  void AddDword(DWORD value) {
    Add(LOWORD(value));
    Add(HIWORD(value));
  }
  void AddString(const wchar_t* text) {
    for (; *text != L'\0'; ++text) Add(static_cast<WORD>(*text));
    Add(0);
  }
  std::vector<WORD> words_;  // WORD-aligned storage; the template needs DWORD alignment at its start
};

constexpr WORD kPromptId = 100;
constexpr WORD kEntryId = 101;

struct InputBoxState {
  const InputBoxRequest* request = nullptr;
  std::optional<SecretText> answer;
};

// Overwrites and empties the entry and its undo buffer, so no copy of a
// password stays in it.
void WipeEntry(HWND entry) {
  int length = GetWindowTextLengthW(entry);
  if (length > 0) SetWindowTextW(entry, std::wstring(static_cast<size_t>(length), L'*').c_str());
  SetWindowTextW(entry, L"");
  SendMessageW(entry, EM_EMPTYUNDOBUFFER, 0, 0);
}

INT_PTR CALLBACK InputBoxProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<InputBoxState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      const InputBoxRequest& request = *state->request;
      SetWindowTextW(dialog, WideText(request.title).c_str());
      SetDlgItemTextW(dialog, kPromptId, WideText(request.prompt).c_str());
      SetDlgItemTextW(dialog, IDOK, WideText(request.confirm_caption).c_str());
      SetDlgItemTextW(dialog, IDCANCEL, WideText(request.cancel_caption).c_str());
      // The program's Chinese texts in its Song face, whatever the
      // template's font has for them.
      Font song;
      song.face = Gbk("宋体");
      song.height = 12;
      song.charset = 134;
      HFONT font = FontHandle(song);
      for (WORD id : {kPromptId, kEntryId, static_cast<WORD>(IDOK), static_cast<WORD>(IDCANCEL)}) {
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      }
      HWND entry = GetDlgItem(dialog, kEntryId);
      if (request.masked) SendMessageW(entry, EM_SETPASSWORDCHAR, L'*', 0);
      if (request.owner == nullptr) SetForegroundWindow(dialog);
      SetFocus(entry);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      WORD id = LOWORD(wparam);
      if (id != IDOK && id != IDCANCEL) break;
      HWND entry = GetDlgItem(dialog, kEntryId);
      if (id == IDOK) {
        int length = GetWindowTextLengthW(entry);
        std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
        int got = GetWindowTextW(entry, typed.data(), length + 1);
        std::string gbk = GbkText(std::wstring_view(typed.data(), static_cast<size_t>(got)));
        state->answer.emplace(SecretText::Take(gbk));
        SecureZeroMemory(typed.data(), typed.size() * sizeof(wchar_t));
      }
      // Every box takes a password, shown or masked; its close button and
      // Escape arrive here as IDCANCEL.
      WipeEntry(entry);
      EndDialog(dialog, id);
      return TRUE;
    }
    default: break;
  }
  return FALSE;
}

}  // namespace

std::optional<SecretText> Win32Dialogs::ShowInputBox(const InputBoxRequest& request) {
  ActivationReturn activation;
  DialogTemplate layout(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 250, 72, 4);
  layout.AddItem(SS_LEFT, 7, 7, 236, 20, kPromptId, 0x0082);
  layout.AddItem(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | (request.masked ? ES_PASSWORD : 0), 7, 30, 236, 13,
                 kEntryId, 0x0081);
  layout.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 125, 51, 56, 14, IDOK, 0x0080);
  layout.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 187, 51, 56, 14, IDCANCEL, 0x0080);
  InputBoxState state;
  state.request = &request;
  HWND owner = WindowHandleOf(request.owner);
  // Owner-less: every window of the program is disabled meanwhile, as a
  // task-modal box does.
  std::vector<HWND> disabled;
  if (owner == nullptr) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) -> BOOL {
          if (IsWindowVisible(window) && IsWindowEnabled(window)) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&disabled));
    for (HWND window : disabled) EnableWindow(window, FALSE);
  }
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.get(), owner, InputBoxProcedure,
                          reinterpret_cast<LPARAM>(&state));
  for (HWND window : disabled) EnableWindow(window, TRUE);
  return std::move(state.answer);
}

std::optional<std::string> Win32Dialogs::ShowFileDialog(const FileDialogRequest& request) {
  std::wstring filter = CommonDialogFilter(request.filter);
  std::wstring title = WideText(request.title);
  std::wstring extension = WideText(request.default_extension);
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring initial = WideText(request.initial_file_name);
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = WindowHandleOf(request.owner);
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  ActivationReturn activation;
  bool chosen;
  if (request.kind == FileDialogKind::kSave) {
    dialog.Flags |= OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameW(&dialog) != FALSE;
  } else {
    dialog.Flags |= OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameW(&dialog) != FALSE;
  }
  if (!chosen) return std::nullopt;
  return WithDefaultExtension(GbkText(file.data()), request.default_extension);
}

int Win32Dialogs::ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries, Point screen_position) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    const MenuEntry& entry = entries[i];
    if (entry.separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (entry.checked ? MF_CHECKED : 0) | (entry.disabled ? MF_GRAYED : 0);
    AppendMenuW(menu, flags, i + 1, WideText(entry.caption).c_str());
  }
  HWND window = WindowHandleOf(&owner);
  // The menu closes when the user clicks elsewhere only while its owner is
  // the foreground window; the null message afterwards lets it go cleanly.
  if (window != nullptr) SetForegroundWindow(window);
  int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                               screen_position.x, screen_position.y, 0, window, nullptr));
  if (window != nullptr) PostMessageW(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen > 0 ? chosen - 1 : -1;
}

}  // namespace tarnwick::win32

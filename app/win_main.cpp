// The memo book on Windows: the Win32 backend under the main window.
//
// As a Windows program keeps its files, the memo store lives beside the
// executable: the process works in the executable's folder, loads the main
// window, whose created event runs the memo book's start-up, then runs the
// message loop until the main window closes.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/memo_program.h"
#include "app/windows/first_paint_probe.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_platform.h"

namespace {

// The folder of the executable, without a trailing separator.
std::wstring ExecutableFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring folder(path.data(), length);
      size_t separator = folder.find_last_of(L"\\/");
      return separator == std::wstring::npos ? std::wstring() : folder.substr(0, separator);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The common controls of the manifest's version 6, with their visual styles.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  std::wstring folder = ExecutableFolder();
  if (folder.empty() || !SetCurrentDirectoryW(folder.c_str())) {
    MessageBoxW(nullptr, L"Cannot work in the program's folder.", L"Tarnwick", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }
  tarnwick::win32::FirstPaintProbe::InstallIfAsked();

  tarnwick::win32::Win32Platform platform;
  // The store's folder in the engine's GBK; a character GBK lacks keeps its
  // four-byte code, which the file layer turns back into the same name.
  return tarnwick::RunMemoProgram(platform, tarnwick::win32::GbkText(folder));
}

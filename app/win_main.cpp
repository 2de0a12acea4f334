// The memo book on Windows: the Win32 backend under the main window.
//
// The process works in the folder that holds the store (beside a portable
// copy; %APPDATA%\Tarnwick for an installed program or a copy whose folder
// cannot be written; the folder --data-folder names: app/data_folder.h),
// loads the main window, whose created event runs the memo book's start-up,
// then runs the message loop until the main window closes.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/data_folder.h"
#include "app/memo_program.h"
#include "app/windows/first_paint_probe.h"
#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_platform.h"

namespace {

namespace fs = std::filesystem;

// The folder of the executable.
fs::path ExecutableFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return fs::path(std::wstring(path.data(), length)).parent_path();
    path.resize(path.size() * 2);
  }
}

// The command line's arguments in UTF-8, as the start options read them.
std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.push_back(tarnwick::Utf8Text(fs::path(wide[i])));
    LocalFree(wide);
  }
  if (arguments.empty()) arguments.push_back("tarnwick");
  return arguments;
}

// The program has no console: what would go to a terminal is a message box.
void Tell(const std::string& utf8, UINT icon) {
  MessageBoxW(nullptr, tarnwick::win32::WideText(tarnwick::Utf8ToGbk(utf8)).c_str(), L"Tarnwick",
              MB_OK | icon | MB_TASKMODAL);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The common controls of the manifest's version 6, with their visual styles.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  std::vector<std::string> arguments = Utf8Arguments();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());
  const tarnwick::StartOptions options = tarnwick::TakeStartOptions(argc, argv.data());
  if (options.help || !options.error.empty()) {
    Tell(options.error.empty() ? tarnwick::StartOptionsHelp() : options.error + "\n\n" + tarnwick::StartOptionsHelp(),
         options.help ? MB_ICONINFORMATION : MB_ICONERROR);
    return options.help ? 0 : 2;
  }
  const tarnwick::DataFolderChoice data_folder = tarnwick::ChooseDataFolder(options, ExecutableFolder());
  if (!data_folder.error.empty()) {
    Tell(data_folder.error, MB_ICONERROR);
    return 1;
  }
  if (!SetCurrentDirectoryW(data_folder.folder.c_str())) {
    Tell("cannot work in the data folder " + tarnwick::Utf8Text(data_folder.folder), MB_ICONERROR);
    return 1;
  }
  tarnwick::win32::FirstPaintProbe::InstallIfAsked();

  tarnwick::win32::Win32Platform platform;
  // The store's folder in the engine's GBK; a character GBK lacks keeps its
  // four-byte code, which the file layer turns back into the same name.
  return tarnwick::RunMemoProgram(platform, tarnwick::win32::GbkText(data_folder.folder.wstring()),
                                  data_folder.instead_of_program_folder);
}

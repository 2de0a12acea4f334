// Helpers on Windows, which has no fork: the test program is started again
// with CreateProcessW and the arguments
//   --tarnwick-helper NAME HEX...
// (each helper argument as hexadecimal bytes, so any text passes unchanged).
// The started program runs GoogleTest's main as usual; a global test
// environment notices the argument before the first test, runs the helper and
// ends the process with its result.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <string>

#include "testing/helper_process.h"

namespace tarnwick::testing {

namespace {

constexpr wchar_t kHelperFlag[] = L"--tarnwick-helper";

std::wstring ToHex(const std::string& bytes) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring hex = L"x";  // never empty, so an empty text survives the command line
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string FromHex(const std::wstring& hex) {
  auto value = [](wchar_t c) { return c <= L'9' ? c - L'0' : c - L'a' + 10; };
  std::string bytes;
  for (size_t i = 1; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(value(hex[i]) << 4 | value(hex[i + 1]));
  return bytes;
}

std::wstring ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Runs the helper the command line names, if any, and never returns then.
class HelperDispatch : public ::testing::Environment {
 public:
  void SetUp() override {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return;
    for (int i = 1; i + 1 < count; ++i) {
      if (std::wstring(arguments[i]) != kHelperFlag) continue;
      const std::wstring wide_name = arguments[i + 1];
      HelperArguments helper_arguments;
      for (int j = i + 2; j < count; ++j) helper_arguments.push_back(FromHex(arguments[j]));
      LocalFree(arguments);
      HelperFunction function = FindHelper(std::string(wide_name.begin(), wide_name.end()));
      const int result = function == nullptr ? HelperProcess::kDidNotReturn : function(helper_arguments);
      std::fflush(nullptr);
      std::_Exit(result);
    }
    LocalFree(arguments);
  }
};

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE OpenInherited(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(Utf8ToWide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

[[maybe_unused]] ::testing::Environment* const helper_dispatch =
    ::testing::AddGlobalTestEnvironment(new HelperDispatch);

}  // namespace

struct HelperProcess::Handle {
  HANDLE process = nullptr;
};

HelperProcess::HelperProcess(const std::string& name, const HelperArguments& arguments)
    : handle_(std::make_unique<Handle>()) {
  if (FindHelper(name) == nullptr) return;
  const std::wstring program = ThisProgram();
  std::wstring command_line = L"\"" + program + L"\" " + kHelperFlag + L" " + std::wstring(name.begin(), name.end());
  for (const std::string& argument : arguments) command_line += L" " + ToHex(argument);
  STARTUPINFOW startup {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process {};
  std::fflush(nullptr);
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  handle_->process = process.hProcess;
}

HelperProcess::~HelperProcess() {
  if (started() && !joined_) {
    Kill();
    Join();
  }
  if (started()) CloseHandle(handle_->process);
}

bool HelperProcess::started() const { return handle_->process != nullptr; }

int HelperProcess::Join() {
  if (joined_ || !started()) return result_;
  if (WaitForSingleObject(handle_->process, INFINITE) != WAIT_OBJECT_0) return result_;
  DWORD code = kDidNotReturn;
  GetExitCodeProcess(handle_->process, &code);
  joined_ = true;
  result_ = static_cast<int>(code);
  return result_;
}

void HelperProcess::Kill() {
  if (started() && !joined_) TerminateProcess(handle_->process, kDidNotReturn);
}

int RunProgram(const std::vector<std::string>& command, const std::string& input_path, const std::string& output_path,
               const std::string& error_path, int timeout_milliseconds) {
  if (command.empty()) return kProgramNotStarted;
  std::wstring command_line;
  for (const std::string& argument : command) {
    if (!command_line.empty()) command_line += L" ";
    command_line += Quoted(Utf8ToWide(argument));
  }
  HANDLE files[3] = {OpenInherited(input_path, false), OpenInherited(output_path, true),
                     OpenInherited(error_path, true)};
  STARTUPINFOW startup {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = files[0];
  startup.hStdOutput = files[1];
  startup.hStdError = files[2];
  PROCESS_INFORMATION process {};
  const bool opened =
      std::all_of(std::begin(files), std::end(files), [](HANDLE file) { return file != INVALID_HANDLE_VALUE; });
  const bool started = opened && CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
  for (HANDLE file : files) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  if (!started) return kProgramNotStarted;
  CloseHandle(process.hThread);
  int result = kProgramTimedOut;
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout_milliseconds)) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result = static_cast<int>(code);
  } else {
    TerminateProcess(process.hProcess, kProgramTimedOut);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace tarnwick::testing

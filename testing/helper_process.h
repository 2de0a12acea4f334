// Second processes for tests of sharing between processes.
//
// A helper is a named function of the test program that runs in a process of
// its own: a fork on POSIX; on Windows, which has no fork, the test program
// started again with an argument naming the helper. A helper sees only its
// arguments (texts, passed byte for byte), never the parent's memory, and its
// result becomes the process's exit code.
//
// Processes signal each other through FileSignal: a file that appears in the
// test's temporary folder. RunProgram runs another program, as a user would.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarnwick::testing {

using HelperArguments = std::vector<std::string>;
using HelperFunction = int (*)(const HelperArguments& arguments);

// Registers a helper at static initialisation (see TARNWICK_TEST_HELPER).
class HelperRegistration {
 public:
  HelperRegistration(const char* name, HelperFunction function);
};

// Defines a helper: TARNWICK_TEST_HELPER(HoldLock) { ... return 0; }
// The body reads its texts from `arguments`.
#define TARNWICK_TEST_HELPER(name)                                                               \
  static int name(const ::tarnwick::testing::HelperArguments& arguments);                        \
  static const ::tarnwick::testing::HelperRegistration name##_registration(#name, name);         \
  static int name([[maybe_unused]] const ::tarnwick::testing::HelperArguments& arguments)

// The registered helper of that name, or null.
HelperFunction FindHelper(const std::string& name);

class HelperProcess {
 public:
  // What Join() returns for a helper that was killed or did not return.
  static constexpr int kDidNotReturn = 100;

  // Starts the named helper; started() says whether it runs.
  HelperProcess(const std::string& name, const HelperArguments& arguments);
  // Kills a helper still running.
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  bool started() const;
  // Waits for the helper's end: its result, or kDidNotReturn.
  int Join();
  // Ends the helper at once, as a crash would: nothing of it is closed in order.
  void Kill();

  struct Handle;  // the system's process handle

 private:
  std::unique_ptr<Handle> handle_;
  bool joined_ = false;
  int result_ = kDidNotReturn;
};

// Runs a program to its end with standard input read from a file and
// standard output and error written to files. The command (program first)
// is UTF-8. Its exit code; kProgramTimedOut when it ran longer than the time
// limit (it is killed then); kProgramNotStarted when it could not start.
inline constexpr int kProgramTimedOut = 124;
inline constexpr int kProgramNotStarted = 127;
int RunProgram(const std::vector<std::string>& command, const std::string& input_path, const std::string& output_path,
               const std::string& error_path, int timeout_milliseconds);

// A one-way signal between processes: a file that appears.
class FileSignal {
 public:
  explicit FileSignal(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  void Send() const;
  // True once sent; false when the time ran out first.
  bool Wait(int timeout_milliseconds = 60000) const;

 private:
  std::string path_;
};

}  // namespace tarnwick::testing

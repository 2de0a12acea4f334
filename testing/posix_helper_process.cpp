// Helpers on POSIX: a fork that runs the helper and exits with its result;
// programs started with posix_spawn.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "testing/helper_process.h"

extern "C" char** environ;

namespace tarnwick::testing {

struct HelperProcess::Handle {
  pid_t pid = -1;
};

HelperProcess::HelperProcess(const std::string& name, const HelperArguments& arguments)
    : handle_(std::make_unique<Handle>()) {
  HelperFunction function = FindHelper(name);
  if (function == nullptr) return;
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t pid = fork();
  if (pid == 0) _exit(function(arguments));
  handle_->pid = pid;
}

HelperProcess::~HelperProcess() {
  if (started() && !joined_) {
    Kill();
    Join();
  }
}

bool HelperProcess::started() const { return handle_->pid > 0; }

int HelperProcess::Join() {
  if (joined_ || !started()) return result_;
  int status = 0;
  while (waitpid(handle_->pid, &status, 0) < 0) {
    if (errno != EINTR) return result_;
  }
  joined_ = true;
  result_ = WIFEXITED(status) ? WEXITSTATUS(status) : kDidNotReturn;
  return result_;
}

void HelperProcess::Kill() {
  if (started() && !joined_) kill(handle_->pid, SIGKILL);
}

int RunProgram(const std::vector<std::string>& command, const std::string& input_path, const std::string& output_path,
               const std::string& error_path, int timeout_milliseconds) {
  std::vector<std::string> arguments = command;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return kProgramNotStarted;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_milliseconds);
  bool timed_out = false;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, timed_out ? 0 : WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return kProgramNotStarted;
    if (!timed_out && std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      timed_out = true;
    } else if (!timed_out) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (timed_out) return kProgramTimedOut;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tarnwick::testing

#include "testing/helper_process.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace tarnwick::testing {

namespace {

std::map<std::string, HelperFunction>& Helpers() {
  static auto* helpers = new std::map<std::string, HelperFunction>();
  return *helpers;
}

}  // namespace

HelperRegistration::HelperRegistration(const char* name, HelperFunction function) { Helpers()[name] = function; }

HelperFunction FindHelper(const std::string& name) {
  auto found = Helpers().find(name);
  return found == Helpers().end() ? nullptr : found->second;
}

void FileSignal::Send() const {
  // Written under another name and renamed, so the waiter never sees a half-made file.
  const std::string partial = path_ + ".partial";
  { std::ofstream(partial, std::ios::binary) << 'x'; }
  std::error_code ignored;
  std::filesystem::rename(partial, path_, ignored);
}

bool FileSignal::Wait(int timeout_milliseconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_milliseconds);
  std::error_code ignored;
  while (!std::filesystem::exists(path_, ignored)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace tarnwick::testing

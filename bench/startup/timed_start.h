// One timed start of a program that reports its first paint on standard
// output (app/first_paint_probe.h, app/windows/first_paint_probe.h), as both
// start-up benchmarks measure it: in a fresh folder of its own, from the
// fork to the report.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/e2e/x_session.h"
#include "base/text.h"
#include "bench/memo_store_workload.h"
#include "bench/startup/start_figures.h"
#include "testing/temp_dir.h"

namespace tarnwick::bench {

// The memo book's store of the common workload, written once.
inline const std::filesystem::path& PreparedStore() {
  static testing::TempDir folder;
  static const bool written = FillMemoStore(Utf8ToGbk(folder.path().string()), RecordTotal());
  if (!written) std::fprintf(stderr, "start-up benchmark: the store could not be written\n");
  return folder.path();
}

// Starts launcher + a copy of `program` with `environment`, placed in a folder
// of its own first, with a copy of the files of `seed` when it is given (the
// prepared store, say), so each start is the same; true when the program
// reported its first paint and exited cleanly.
inline bool StartOnce(const std::vector<std::string>& launcher, const std::filesystem::path& program,
                      const std::vector<std::string>& environment, Start& start,
                      const std::filesystem::path* seed = nullptr) {
  using Clock = std::chrono::steady_clock;
  testing::TempDir folder;
  if (seed) {
    for (const auto& entry : std::filesystem::directory_iterator(*seed)) {
      if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), folder.path() / entry.path().filename());
    }
  }
  const std::filesystem::path copy = folder.path() / program.filename();
  // A hard link where it can be: a fresh copy of the binary would still be
  // on its way to the disk while the program starts.
  std::error_code linked;
  std::filesystem::create_hard_link(program, copy, linked);
  if (linked) std::filesystem::copy_file(program, copy);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  std::vector<std::string> argv = launcher;
  argv.push_back(copy.string());
  const auto began = Clock::now();
  e2e::Child child = e2e::Child::Start(argv, folder.path(), environment, out[1]);
  close(out[1]);
  std::string said;
  while (said.find("painted") == std::string::npos) {
    pollfd fd{out[0], POLLIN, 0};
    if (poll(&fd, 1, 60000) <= 0) break;
    char buffer[64];
    const ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    said.append(buffer, static_cast<size_t>(got));
  }
  start.seconds = std::chrono::duration<double>(Clock::now() - began).count();
  close(out[0]);
  const auto code = child.Wait(std::chrono::seconds(20));
  start.peak_kib = child.peak_resident_kib();
  start.cpu_seconds = child.cpu_seconds();
  return said.find("painted") != std::string::npos && code == 0;
}

}  // namespace tarnwick::bench

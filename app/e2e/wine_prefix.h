// The Wine prefix the end-to-end tests of the Windows program share (the
// cross-build folder's own): the environment of its processes, and the font
// links a Chinese Windows has.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/e2e/x_session.h"

namespace tarnwick::e2e {

// No Mono or Gecko is asked for, and no shortcut an installer makes reaches
// the desktop menus of this machine's user (Wine's menu builder would copy
// it there).
inline std::vector<std::string> WineEnvironment(const std::string& display, const std::string& prefix) {
  return {"DISPLAY=" + display, "WINEPREFIX=" + prefix, "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d", "LC_ALL=C.UTF-8"};
}

// argv run through env with the prefix's environment.
inline std::vector<std::string> InWine(const std::vector<std::string>& environment,
                                       const std::vector<std::string>& argv) {
  std::vector<std::string> command = {"env"};
  command.insert(command.end(), environment.begin(), environment.end());
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

// A Chinese Windows links its default GUI faces to a Chinese one for the
// characters they lack; the prefix is told to do the same with the Song face
// the set-up installs, or Chinese texts would be boxes.
inline void LinkChineseFace(const std::vector<std::string>& environment) {
  for (const char* face : {"Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif", "MS Sans Serif"}) {
    // The first call creates the prefix, which takes a while.
    ASSERT_EQ(RunCommand(InWine(environment, {"wine", "reg", "add",
                                              "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                                              "/v", face, "/t", "REG_MULTI_SZ", "/d", "uming.ttc,AR PL UMing CN", "/f"}),
                         "", std::chrono::seconds(180))
                  .exit_code,
              0)
        << "wine reg add for " << face;
  }
}

}  // namespace tarnwick::e2e

// Where the memo store lives, decided once at start-up before the program
// moves its working directory there.
//
// A portable copy or a build folder keeps its memos beside the executable.
// An installed program (its folder not writable, or a desktop entry installed
// beside it in <prefix>/share/applications) keeps them in the user's data
// folder, $XDG_DATA_HOME/tarnwick or ~/.local/share/tarnwick, created on first
// run. --data-folder names any other folder, which must exist.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The program's own options, taken out of the command line before Qt reads
// the rest (Qt's options, such as -platform, pass through untouched).
struct StartOptions {
  std::optional<std::filesystem::path> data_folder;  // --data-folder FOLDER
  bool help = false;                                  // -h, --help
  std::string error;                                  // a malformed option; empty when fine
};

// Reads and removes the program's options from argv (argv[0] is the
// program), leaving argc and argv with what is left for Qt.
StartOptions TakeStartOptions(int& argc, char** argv);

extern const char kStartOptionsHelp[];

// The desktop entry an installed program has at <prefix>/share/applications.
extern const char kDesktopEntryName[];

// Looks an environment variable up; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);

struct DataFolderChoice {
  std::filesystem::path folder;  // absolute; empty when none could be had
  std::string error;             // why not, for the user
};

// Chooses the folder and makes sure it exists (creating the per-user data
// folder, owner-only, when it is missing). Does not change the working
// directory.
DataFolderChoice ChooseDataFolder(const StartOptions& options, const std::filesystem::path& executable_folder,
                                  const EnvironmentLookup& environment = ProcessEnvironment);

}  // namespace tarnwick

// Where the memo store lives, decided once at start-up before the program
// moves its working directory there.
//
// A portable copy or a build folder keeps its memos beside the executable.
// An installed program (one with its installation marker beside it) keeps
// them in the user's data folder, created, private to the user, on first
// run: on Linux $XDG_DATA_HOME/tarnwick or ~/.local/share/tarnwick, on
// Windows %APPDATA%\Tarnwick. So does a portable copy whose folder cannot be
// written and holds no store yet, and the choice says so. --data-folder
// names any other folder, which must exist.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The program's own options, taken out of the command line before Qt reads
// the rest (Qt's options, such as -platform, pass through untouched).
struct StartOptions {
  std::optional<std::filesystem::path> data_folder;  // --data-folder FOLDER
  bool help = false;                                  // -h, --help
  std::string error;                                  // a malformed option; empty when fine
};

// Reads and removes the program's options from argv (argv[0] is the
// program; on Windows every argument is UTF-8), leaving argc and argv with
// what is left for Qt.
StartOptions TakeStartOptions(int& argc, char** argv);

// The usage text: the options, then where the memos go without them.
std::string StartOptionsHelp();

// The system's half of the usage text: where the memos go by default.
extern const char kDefaultFolderHelp[];

// The file, relative to the executable's folder, that an installation puts
// there and a portable copy lacks: on Linux the desktop entry at
// <prefix>/share/applications, on Windows a note the installer leaves.
extern const char kInstalledMarker[];

// Looks an environment variable up (its value in UTF-8 on Windows); nullopt
// when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);

struct DataFolderChoice {
  std::filesystem::path folder;  // absolute; empty when none could be had
  std::string error;             // why not, for the user (UTF-8)
  // The user's data folder stands in for the folder of a portable copy,
  // which cannot be written.
  bool instead_of_program_folder = false;
};

// Chooses the folder and makes sure it exists (creating the per-user data
// folder when it is missing). Does not change the working directory.
DataFolderChoice ChooseDataFolder(const StartOptions& options, const std::filesystem::path& executable_folder,
                                  const EnvironmentLookup& environment = ProcessEnvironment);

// A path from UTF-8 text, and back: on Windows the narrow forms would go
// through the system's code page and lose what it lacks.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8Text(const std::filesystem::path& path);

}  // namespace tarnwick

// Where the program keeps its files and where it reads the files it ships.
//
// A program run from a folder of its own (the build tree, a copy kept in a
// folder one can write: portable use) keeps everything beside its
// executable. An installed program (its executable in <prefix>/bin beside
// <prefix>/share/kalbor) or one whose folder cannot be written keeps the
// user's files in the user's data folder, $XDG_DATA_HOME/kalbor or
// ~/.local/share/kalbor, and reads the help file and the tables it ships
// from <prefix>/share/kalbor. On the first start that folder gets a copy of
// the shipped tables; a file already there is never replaced.
//
// The settings file, the tables' bare names, the help file and the
// single-instance name all come from ProgramFolders(), so they cannot drift.
#pragma once

#include <string>

namespace kalbor {

struct TProgramFolders {
  std::string folder;   // the program folder: settings, tables, diaries (trailing separator)
  std::string shipped;  // the help file and the tables the program ships (trailing separator)
};

// What the choice depends on, gathered from the running process.
struct TFolderFacts {
  std::string executable_folder;  // with a trailing separator
  bool executable_folder_writable = false;
  bool installed = false;  // <executable folder>/<shipped from bin> is a folder
  std::string xdg_data_home;  // as set (may be empty or relative)
  std::string home;           // the user's home folder (may be empty)
};

// The rule itself, with no look at the system. `folder` is empty when the
// user's data folder is needed and no absolute home is known.
TProgramFolders ChooseProgramFolders(const TFolderFacts& facts);

// The folders of this process: the executable's folder, the environment.
TFolderFacts ProcessFolderFacts();
TProgramFolders ProgramFolders();

// Makes the program folder when it is separate from the shipped one and
// copies into it each shipped table it lacks (names compared without letter
// case). Throws ETableError naming the folder (or the file) that could not
// be made or written; nothing is written anywhere else.
void PrepareProgramFolder(const TProgramFolders& folders);

}  // namespace kalbor

#pragma once

#include <string>

// Where the window offers to put exported assets. An aged asset is a document the user takes to
// other programs, so it goes where the desktop keeps the user's documents rather than into the
// mask folder, which may lie inside a build or a hidden data folder.

// The documents folder named by the text of a user-dirs.dirs file (its XDG_DOCUMENTS_DIR line,
// "$HOME" standing for home), as the desktop's user-dirs tool reads it; empty when the text
// names none, or names it neither absolutely nor from $HOME.
std::string DocumentsFolderIn(const std::string& userDirsText, const std::string& home);

// The documents folder of $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when unset) when it names an
// existing folder, else $HOME; empty without either.
std::string DefaultExportFolder();

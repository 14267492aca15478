// Folder services of the installer: the temporary folder and creating a
// destination folder with all its missing parents. The path parts and the
// directory test come from the operating system layer (os/files.h).
//
// Paths use "/" as the separator. Thread-safe (no shared state).
#pragma once

#include <string>

#include "os/files.h"

namespace tessaline {

// The system's folder for temporary files: $TMPDIR when set and not empty,
// else "/tmp", always ending in exactly one "/".
std::string TempFolder();

// Creates the folder `path` and its missing parents, from the top down. One
// trailing "/" is ignored. Creates nothing for the root, for an existing
// directory, or for a path that equals its own directory part. A level that
// cannot be created is passed over without a word (a later file creation
// fails); the result says which one and why, for that later message. Raises
// Exception("Unable to create directory") for an empty path and for a
// relative path whose top level does not exist (its directory part runs out
// before an existing level is found); nothing is created then.
Status CreateFolderPath(std::string path);

}  // namespace tessaline

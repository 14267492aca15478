// Folder services of the installer: the temporary folder, the destination
// text for a folder the user chose (in the window's Browse or with
// --install DIR), and creating a destination folder with all its missing
// parents. The path parts and the directory test come from the operating
// system layer (os/files.h).
//
// Paths use "/" as the separator. Thread-safe (no shared state); the
// destination reads the process's current directory.
#pragma once

#include <string>

#include "os/files.h"

namespace tessaline {

// The system's folder for temporary files: $TMPDIR when set and not empty,
// else "/tmp", always ending in exactly one "/".
std::string TempFolder();

// The folder as an absolute, normal path followed by exactly one "/": a
// relative folder is taken from the current directory (and left relative
// when that cannot be read); then "." names and doubled "/" go, and each
// ".." takes the name before it away ("/games/./packs//" -> "/games/packs/",
// "/games/old/../packs" -> "/games/packs/", "/.." -> "/"). Only the text is
// looked at: a symbolic link stays as the user named it, so "link/.." is the
// folder that holds the link, not the target's parent. An empty folder gives
// an empty destination, so that the installation refuses it rather than
// taking it for the root.
std::string DestinationForFolder(std::string folder);

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

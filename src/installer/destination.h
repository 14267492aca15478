// The destination text for a folder the user chose, in the window (Browse)
// or on the command line (--install DIR).
//
// Thread use: any; reads the process's current directory.
#pragma once

#include <string>

namespace tessaline {

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

}  // namespace tessaline

// The destination text for a folder the user chose, in the window (Browse)
// or on the command line (--install DIR).
//
// Thread use: any; reads the process's current directory.
#pragma once

#include <string>

namespace tessaline {

// The folder followed by exactly one "/" ("/games/packs//" ->
// "/games/packs/", "/" -> "/"). A relative folder is taken from the current
// directory (as it is when that cannot be read). An empty folder gives an
// empty destination, so that the installation refuses it rather than taking
// it for the root.
std::string DestinationForFolder(std::string folder);

}  // namespace tessaline

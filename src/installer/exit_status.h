// What a command's exit status says when its output could not be written: a
// command whose standard output is lost (a full disk, a closed pipe) has not
// done what was asked of it, whatever it did besides.
//
// Thread use: the thread that wrote to the streams.
#pragma once

#include <iosfwd>
#include <string>

namespace tessaline {

// Flushes `out`; `status` when everything written to it arrived, else 1,
// after a line on `err`: "<program>: the output could not be written:
// <reason>" (with a note that the work itself was done when `status` was 0).
int StatusAfterOutput(int status, std::ostream& out, std::ostream& err, const std::string& program);

}  // namespace tessaline

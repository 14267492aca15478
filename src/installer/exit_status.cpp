#include "installer/exit_status.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace tessaline {

int StatusAfterOutput(int status, std::ostream& out, std::ostream& err,
                      const std::string& program) {
  errno = 0;
  out.flush();
  if (out.good()) return status;
  const int code = errno;
  err << program << ": the output could not be written";
  if (code != 0) err << ": " << std::strerror(code);
  if (status == 0) err << " (the command itself was carried out)";
  err << '\n';
  err.flush();
  return 1;
}

}  // namespace tessaline

#include "installer/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

namespace tessaline {
namespace {

// A stream that takes nothing: a full disk, a closed pipe.
struct FullBuffer : std::streambuf {
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(ExitStatusTest, LostOutputIsAFailureWhateverTheCommandDid) {
  const struct {
    int status;
    bool lost;
    int expected;
    const char* said;
  } cases[] = {
      {0, false, 0, ""},
      {1, false, 1, ""},
      {0, true, 1,
       "tessaline: the output could not be written (the command itself was carried out)\n"},
      {1, true, 1, "tessaline: the output could not be written\n"},
  };
  for (const auto& c : cases) {
    FullBuffer full;
    std::ostringstream kept;
    std::ostream out(c.lost ? static_cast<std::streambuf*>(&full) : kept.rdbuf());
    out << "uninstalled: /games/Tessaline.wpk\n";
    std::ostringstream err;
    EXPECT_EQ(StatusAfterOutput(c.status, out, err, "tessaline"), c.expected);
    EXPECT_EQ(err.str(), c.said);
  }
}

}  // namespace
}  // namespace tessaline

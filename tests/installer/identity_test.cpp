// The installer's identity: placeholders until the installer module starts,
// the pack's own values from then on, and nothing left after its shut-down.
#include "installer/identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tessaline {
namespace {

// Other tests of this program start the identity module, so the placeholders
// are read in a fresh run of this test alone.
TEST(IdentityTest, PlaceholdersUntilStartUpThePacksValuesAfterItNothingAfterShutDown) {
  if (std::getenv("TESSALINE_IDENTITY_ALONE") == nullptr) {
    const std::string child = "TESSALINE_IDENTITY_ALONE=1 /proc/" + std::to_string(::getpid()) +
                              "/exe --gtest_filter=IdentityTest.* >/dev/null 2>&1";
    EXPECT_EQ(std::system(child.c_str()), 0) << child;
    return;
  }
  EXPECT_EQ(PackNo, 0);
  EXPECT_EQ(PackName, "Pack x");
  EXPECT_EQ(PackNameCyr, "Карты х");
  InstallerStartup({12, "Kestrel", "Пустельга"});
  EXPECT_EQ(PackNo, 12);
  EXPECT_EQ(PackName, "Kestrel");
  EXPECT_EQ(PackNameCyr, "Пустельга");
  InstallerShutdown();
  EXPECT_TRUE(PackName.empty());
  EXPECT_TRUE(PackNameCyr.empty());
  // Shutting down twice, or before any start-up, is harmless.
  InstallerShutdown();
  EXPECT_TRUE(PackName.empty());
}

}  // namespace
}  // namespace tessaline

// The window tests' main: an offscreen QApplication (unless QT_QPA_PLATFORM
// says otherwise), the support library, the registry store and the pack's
// identity, as the installer's own start-up would set them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "installer/identity.h"
#include "installer/window/application.h"
#include "registry/cipher_reg.h"
#include "support/support_module.h"

int main(int argc, char** argv) {
  // Test discovery runs this binary at build time, often without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  tessaline::QtApplication app(argc, argv);
  // Tests close windows; the application must outlive them all.
  app.setQuitOnLastWindowClosed(false);
  tessaline::SupportStartup();
  tessaline::RegistryStartup();
  tessaline::InstallerStartup();
  tessaline::PackNo = 1;
  tessaline::PackNameCyr = "Тесселин";
  tessaline::PackName = "Tessaline";
  const int status = RUN_ALL_TESTS();
  tessaline::InstallerShutdown();
  tessaline::RegistryShutdown();
  tessaline::SupportShutdown();
  return status;
}

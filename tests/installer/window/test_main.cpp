// The window tests' main: an offscreen QApplication (unless QT_QPA_PLATFORM
// says otherwise), the support library, the registry store and the pack's
// identity, started as the installer's own start-up starts them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "installer/modules.h"
#include "installer/window/application.h"

int main(int argc, char** argv) {
  // Test discovery runs this binary at build time, often without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  tessaline::QtApplication app(argc, argv);
  // Tests close windows; the application must outlive them all.
  app.setQuitOnLastWindowClosed(false);
  const tessaline::ModuleScope modules({tessaline::SupportModule(std::nullopt),
                                        tessaline::RegistryModule(),
                                        tessaline::IdentityModule({1, "Tessaline", "Тесселин"})});
  return RUN_ALL_TESTS();
}

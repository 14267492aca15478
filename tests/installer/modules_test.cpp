// Start-up and shut-down of the modules: in order, in reverse, and on every
// way out of the scope.
#include "installer/modules.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "registry/cipher_reg.h"
#include "support/dictionary.h"

namespace tessaline {
namespace {

using Log = std::vector<std::string>;

// A module that logs its start-up and shut-down; its start-up throws when
// `fails` is set, after logging.
Module Logged(Log& log, const std::string& name, bool fails = false) {
  return {name,
          [&log, name, fails] {
            log.push_back("start " + name);
            if (fails) throw std::runtime_error(name + " failed");
          },
          [&log, name] { log.push_back("stop " + name); }};
}

TEST(ModuleScopeTest, ThrowingBodyStillStopsEveryModuleInReverse) {
  Log log;
  try {
    const ModuleScope scope({Logged(log, "a"), Logged(log, "b"), Logged(log, "c")});
    throw std::runtime_error("body failed");
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "body failed");
  }
  EXPECT_EQ(log, (Log{"start a", "start b", "start c", "stop c", "stop b", "stop a"}));
}

TEST(ModuleScopeTest, FailedStartUpUndoesItselfAndTheModulesBeforeIt) {
  Log log;
  try {
    const ModuleScope scope({Logged(log, "a"), Logged(log, "b", true), Logged(log, "c")});
    ADD_FAILURE() << "the failed start-up did not pass on";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "b failed");
  }
  EXPECT_EQ(log, (Log{"start a", "start b", "stop b", "stop a"}));
}

TEST(ModuleScopeTest, ProgramModulesAreUpInsideAndGoneAfterAFailure) {
  const std::string dictionary = "/nowhere/kestrel.dic";
  try {
    const ModuleScope scope(
        {SupportModule(dictionary), RegistryModule(), IdentityModule({2, "Kestrel", "Пустельга"})});
    ASSERT_NE(Dict, nullptr);
    EXPECT_NE(CommonPage, nullptr);
    EXPECT_EQ(Dict->DictFileName(), dictionary);
    EXPECT_NE(CipherReg, nullptr);
    EXPECT_EQ(PackNo, 2);
    EXPECT_EQ(PackName, "Kestrel");
    EXPECT_EQ(PackNameCyr, "Пустельга");
    throw std::runtime_error("body failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Dict, nullptr);
  EXPECT_EQ(CommonPage, nullptr);
  EXPECT_EQ(MessagePage, nullptr);
  EXPECT_EQ(CipherReg, nullptr);
  EXPECT_EQ(PackName, "");
  EXPECT_EQ(PackNameCyr, "");
}

}  // namespace
}  // namespace tessaline

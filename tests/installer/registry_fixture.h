// A test fixture with a private registry hive and temporary folder, and the
// modules started on them as the installer starts them (support library,
// registry store, the Tessaline pack's identity). Everything is put back
// afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "common/scoped_env.h"
#include "installer/identity.h"
#include "installer/modules.h"
#include "common/test_support.h"
#include "registry/cipher_reg.h"

namespace tessaline::test {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((scratch_ / "tmp").c_str(), 0777);
    modules_.emplace(std::vector<Module>{SupportModule(std::nullopt), RegistryModule(),
                                         IdentityModule({1, "Tessaline", "Тесселин"})});
  }

  void TearDown() override { modules_.reset(); }

  std::string hive_path() const { return scratch_ / "system.reg"; }
  const ScratchDir& scratch() const { return scratch_; }

  // Replaces the hive file with `body` under the usual header.
  void WriteHive(const std::string& body) { WriteFile(hive_path(), "REGEDIT4\r\n\r\n" + body); }

  // A value of the subkey "Pack", or "<none>" when it is missing.
  std::string PackValue(const std::string& name) const {
    return CipherReg->ReadValue("Pack", name, "<none>");
  }

 private:
  ScratchDir scratch_;
  const ScopedEnv hive_env_{"WENLORA_REGISTRY", scratch_ / "system.reg"};
  const ScopedEnv tmpdir_env_{"TMPDIR", scratch_ / "tmp"};
  std::optional<ModuleScope> modules_;
};

}  // namespace tessaline::test

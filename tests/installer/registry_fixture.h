// A test fixture with a private registry hive, the store started on it, and
// the pack's identity set as the main routine sets it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "installer/identity.h"
#include "installer_test_util.h"
#include "registry/cipher_reg.h"
#include "support/support_module.h"

namespace tessaline::test {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("WENLORA_REGISTRY")) old_hive_ = old;
    if (const char* old = std::getenv("TMPDIR")) old_tmpdir_ = old;
    ::setenv("WENLORA_REGISTRY", hive_path().c_str(), 1);
    ::setenv("TMPDIR", (scratch_ / "tmp").c_str(), 1);
    ::mkdir((scratch_ / "tmp").c_str(), 0777);
    SupportStartup();
    RegistryStartup();
    PackNo = 1;
    PackNameCyr = "Тесселин";
    PackName = "Tessaline";
  }

  void TearDown() override {
    RegistryShutdown();
    SupportShutdown();
    Restore("WENLORA_REGISTRY", old_hive_);
    Restore("TMPDIR", old_tmpdir_);
  }

  std::string hive_path() const { return scratch_ / "system.reg"; }
  const ScratchDir& scratch() const { return scratch_; }

  // Replaces the hive file with `body` under the usual header.
  void WriteHive(const std::string& body) { WriteFile(hive_path(), "REGEDIT4\r\n\r\n" + body); }

  // A value of the subkey "Pack", or "<none>" when it is missing.
  std::string PackValue(const std::string& name) const {
    return CipherReg->ReadValue("Pack", name, "<none>");
  }

 private:
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  ScratchDir scratch_;
  std::optional<std::string> old_hive_;
  std::optional<std::string> old_tmpdir_;
};

}  // namespace tessaline::test

#include "installer/modules.h"

#include <utility>

#include "registry/cipher_reg.h"
#include "support/dictionary.h"
#include "support/support_module.h"

namespace tessaline {

ModuleScope::ModuleScope(std::vector<Module> modules) : modules_(std::move(modules)) {
  try {
    while (started_ < modules_.size()) {
      // Counted before it runs: a start-up that throws part way is undone too.
      ++started_;
      modules_[started_ - 1].startup();
    }
  } catch (...) {
    ShutDown();
    throw;
  }
}

ModuleScope::~ModuleScope() {
  ShutDown();
}

void ModuleScope::ShutDown() noexcept {
  while (started_ > 0) {
    --started_;
    modules_[started_].shutdown();
  }
}

Module SupportModule(const std::optional<std::string>& dictionary) {
  return {[dictionary] {
            SupportStartup();
            if (dictionary) Dict->SetDictFileName(*dictionary);
          },
          SupportShutdown};
}

Module RegistryModule() {
  return {RegistryStartup, RegistryShutdown};
}

Module IdentityModule(const PackIdentity& identity) {
  return {[identity] { InstallerStartup(identity); }, InstallerShutdown};
}

}  // namespace tessaline

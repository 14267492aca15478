#include "installer/modules.h"

#include <utility>

#include "os/files.h"
#include "os/process.h"
#include "registry/cipher_reg.h"
#include "support/dictionary.h"
#include "support/support_module.h"

namespace tessaline {

namespace {

void Trace(const char* what, const std::string& name) {
  const std::string trace = EnvironmentValue("TESSALINE_MODULE_TRACE");
  if (!trace.empty()) (void)AppendToFile(trace, std::string(what) + " " + name + "\n");
}

}  // namespace

ModuleScope::ModuleScope(std::vector<Module> modules) : modules_(std::move(modules)) {
  try {
    while (started_ < modules_.size()) {
      // Counted before it runs: a start-up that throws part way is undone too.
      ++started_;
      Trace("start", modules_[started_ - 1].name);
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
    Trace("stop", modules_[started_].name);
    modules_[started_].shutdown();
  }
}

Module SupportModule(const std::optional<std::string>& dictionary) {
  return {"support",
          [dictionary] {
            SupportStartup();
            if (dictionary) Dict->SetDictFileName(*dictionary);
          },
          SupportShutdown};
}

Module RegistryModule() {
  return {"registry", RegistryStartup, RegistryShutdown};
}

Module IdentityModule(const PackIdentity& identity) {
  return {"identity", [identity] { InstallerStartup(identity); }, InstallerShutdown};
}

}  // namespace tessaline

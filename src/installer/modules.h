// Start-up and shut-down of the program's modules. A module is a pair of
// functions; a ModuleScope starts modules in the order given and shuts them
// down in the reverse order on every way out of its scope, an exception from
// a later start-up or from the scope's body included.
//
// Thread use: the main thread, like the modules' own start-up functions.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "installer/identity.h"

namespace tessaline {

struct Module {
  std::string name;  // for the trace below
  std::function<void()> startup;
  // Must not throw, and must be safe after a start-up that threw part way.
  std::function<void()> shutdown;
};

// When the environment variable TESSALINE_MODULE_TRACE names a file, every
// start-up and shut-down appends a line to it ("start support", "stop
// registry", ...), so that a test can read the order of a real run.
class ModuleScope {
 public:
  // Starts `modules` in order. When a start-up throws, that module and the
  // ones started before it are shut down, the last first, and the exception
  // passes on.
  explicit ModuleScope(std::vector<Module> modules);
  // Shuts every started module down, the last started first.
  ~ModuleScope();

  ModuleScope(const ModuleScope&) = delete;
  ModuleScope& operator=(const ModuleScope&) = delete;

 private:
  void ShutDown() noexcept;

  std::vector<Module> modules_;
  std::size_t started_ = 0;  // how many of modules_ have begun their start-up
};

// The program's modules, in the order they start:

// The support library: the dictionary Dict with its pages (SupportStartup),
// reading `dictionary` instead of the file beside the program when given.
Module SupportModule(const std::optional<std::string>& dictionary);

// The registry store: the process-wide CipherReg (RegistryStartup).
Module RegistryModule();

// The installer's identity values (InstallerStartup).
Module IdentityModule(const PackIdentity& identity);

}  // namespace tessaline

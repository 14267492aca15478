// The product registry store: string values under the product's key
// "\SOFTWARE\Wenlora\" of the local-machine hive.
//
// Every operation opens the key it needs through OpenGuarded (a write opens
// its key and writes in one change of the hive), does one thing and closes
// the key with CloseAndMark. Only a write that raises leaves its
// key open; the next operation reports and closes it ("Registry error 1").
// The first close in a store's life flushes the hive; later ones only close.
//
// Thread use: main thread only. OpenGuarded refuses any other thread
// ("Registry error 2"), so the operations then fail quietly with their
// failure results.
//
// The hive file is chosen when the store is created; changing the
// environment later does not move an existing store.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "registry/registry.h"

namespace tessaline {

// The product's key; subkey names are appended to it.
inline constexpr char kProductKeyPath[] = "\\SOFTWARE\\Wenlora\\";

class tCipherReg : public TRegistry {
 public:
  explicit tCipherReg(std::int32_t cipher_key, std::string hive_path = DefaultHivePath());

  // The number given at creation; nothing in the system reads it.
  std::int32_t CipherKey() const { return cipher_key_; }

  // Writes `data` as the string value `name` of the product key + `sub_key`,
  // creating missing keys. False when the key could not be opened (nothing
  // written, nothing reported). A failing write raises ERegistryException
  // "Failed to set data for '<name>'" and leaves the key open.
  bool WriteValue(const std::string& sub_key, const std::string& name, const std::string& data);

  // WriteValue for several values of one key, in their order. The missing
  // keys and the values are written in one change of the hive: all of them,
  // or none when it raises as WriteValue does (naming the first name).
  bool WriteValues(const std::string& sub_key,
                   const std::vector<std::pair<std::string, std::string>>& values);

  // The string value `name` of the product key + `sub_key`, or `default_value`
  // when the key cannot be opened or has no such value. Raises as ReadString
  // does (the key is closed then).
  std::string ReadValue(const std::string& sub_key, const std::string& name,
                        const std::string& default_value);

  // Whether the key `name` exists below the product key (and can be opened
  // with full access); the empty name tests the product key itself.
  bool SubKeyExists(const std::string& name);

  // The guarded open of the operations above: reports and closes a key left
  // open ("Registry error 1", its path, `path`), refuses threads other than
  // the main thread ("Registry error 2", `path`; false), then opens `path`,
  // creating it when `can_create`, and writes `values` into it in the same
  // change of the hive (TRegistry::CreateKeyWithStrings). An exception from
  // the open is shown with ShowCurrentException and gives false; one from the
  // write goes to the caller, the key left open.
  bool OpenGuarded(const std::string& path, bool can_create,
                   const std::vector<std::pair<std::string, std::string>>& values = {});

  // Closes the current key, then sets the lazy-write flag.
  void CloseAndMark();

 private:
  std::int32_t cipher_key_;
};

// The process-wide store; exists between RegistryStartup and RegistryShutdown.
extern tCipherReg* CipherReg;

// Creates CipherReg with the cipher key 52719 unless it exists; on the main
// thread after the support library's start-up.
void RegistryStartup();
// Releases CipherReg (closing a key still open) and sets it to nullptr; safe
// to call when start-up has not run.
void RegistryShutdown();

}  // namespace tessaline

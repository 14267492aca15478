#include "registry/cipher_reg.h"

#include "os/process.h"
#include "support/dictionary.h"
#include "support/messages.h"

namespace tessaline {

tCipherReg* CipherReg = nullptr;

namespace {

// Closes the store's key with CloseAndMark when it goes, also while an
// exception passes.
struct CloseAndMarkAtEnd {
  ~CloseAndMarkAtEnd() { store.CloseAndMark(); }
  tCipherReg& store;
};

}  // namespace

tCipherReg::tCipherReg(std::int32_t cipher_key, std::string hive_path)
    : TRegistry(std::move(hive_path)), cipher_key_(cipher_key) {}

bool tCipherReg::OpenGuarded(const std::string& path, bool can_create,
                             const std::vector<std::pair<std::string, std::string>>& values) {
  if (CurrentKey() != 0) {
    const std::string stale = CurrentPath();
    CloseKey();
    ShowMsg({MsgArg::Text("Registry error 1"), MsgArg::Text(stale), MsgArg::Text(path)});
  }
  if (!IsMainThread()) {
    ShowMsg({MsgArg::Text("Registry error 2"), MsgArg::Text(path)});
    return false;
  }
  try {
    return values.empty() ? OpenKey(path, can_create) : CreateKeyWithStrings(path, values);
  } catch (...) {
    if (CurrentKey() != 0) throw;  // the write failed: its key stays open on purpose
    ShowCurrentException();
    return false;
  }
}

void tCipherReg::CloseAndMark() {
  CloseKey();
  SetLazyWrite(true);
}

bool tCipherReg::WriteValue(const std::string& sub_key, const std::string& name,
                            const std::string& data) {
  return WriteValues(sub_key, {{name, data}});
}

bool tCipherReg::WriteValues(const std::string& sub_key,
                             const std::vector<std::pair<std::string, std::string>>& values) {
  if (!OpenGuarded(kProductKeyPath + sub_key, true, values)) return false;
  CloseAndMark();
  return true;
}

std::string tCipherReg::ReadValue(const std::string& sub_key, const std::string& name,
                                  const std::string& default_value) {
  if (!OpenGuarded(kProductKeyPath + sub_key, false)) return default_value;
  const CloseAndMarkAtEnd close{*this};
  return ReadStringIfExists(name).value_or(default_value);
}

bool tCipherReg::SubKeyExists(const std::string& name) {
  if (!OpenGuarded(kProductKeyPath, false)) return false;
  const CloseAndMarkAtEnd close{*this};
  return KeyExists(name);
}

void RegistryStartup() {
  if (CipherReg == nullptr) CipherReg = new tCipherReg(52719);
}

void RegistryShutdown() {
  FreeAndClear(CipherReg);
}

}  // namespace tessaline

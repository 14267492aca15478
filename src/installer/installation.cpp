#include "installer/installation.h"

#include <optional>

#include "installer/folders.h"
#include "installer/identity.h"
#include "installer/pack_copy.h"
#include "platform/file_system.h"
#include "registry/cipher_reg.h"
#include "registry/registry_exception.h"

namespace tessaline {

namespace {

// Writes one value of the pack record. The store writes nothing when it
// cannot open or create the key; that must not pass for a recorded pack.
void WriteRecordValue(const std::string& name, const std::string& data) {
  if (!CipherReg->WriteValue("Pack", name, data))
    throw ERegistryException("Failed to set data for '" + name + "'");
}

}  // namespace

std::string PackFolderFor(const std::string& dir_n) {
  const std::string part = DirectoryPart(dir_n);
  std::string folder = part;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  // A directory part of separators only is the root, which stands where a
  // bare drive would.
  if (folder.empty() && !part.empty()) return "/";
  return folder;
}

std::string PackPathFor(const std::string& dir_n, const std::string& pack_name) {
  const std::string folder = PackFolderFor(dir_n);
  if (folder.empty()) return {};
  return (folder == "/" ? folder : folder + "/") + pack_name + ".wpk";
}

std::string PackPathFor(const std::string& dir_n) {
  return PackPathFor(dir_n, PackName);
}

std::string InstallPack(const std::string& dir_n, const std::string& source_path) {
  // A record that cannot be written is found out before anything is made or
  // put in place, so that a refused install changes nothing. The hive, which
  // can be large, is read for that on another thread meanwhile, while the
  // pack is copied into a new file that has no name yet (when its folder
  // stands already).
  CipherReg->PreloadHive();
  const std::string first_value = "Pack" + std::to_string(PackNo);
  const auto check_record = [&first_value] {
    if (const std::string reason = CipherReg->WhyValuesCannotBeWritten(); !reason.empty()) {
      throw ERegistryException("Failed to set data for '" + first_value + "'\r\n" + reason);
    }
  };
  const std::string folder = PackFolderFor(dir_n);
  const std::string pack_path = PackPathFor(dir_n);
  std::optional<PendingCopy> copy;
  try {
    // A path no program could open is never recorded, nor its folders made.
    if (pack_path.size() > kMaxPathLength) throw EFCreateError("Cannot create file " + pack_path);
    if (!folder.empty() && DirectoryExists(folder)) {
      copy.emplace(source_path, pack_path);
      copy->Write();
    }
  } catch (...) {
    check_record();  // a refused record is told first, as if checked first
    throw;
  }
  check_record();
  CreateFolderPath(folder);
  if (!copy) {
    copy.emplace(source_path, pack_path);
    copy->Write();
  }
  copy->PutInPlace();
  WriteRecordValue(first_value, pack_path);
  WriteRecordValue("Comm" + std::to_string(PackNo), PackName);
  WriteRecordValue("Cir" + std::to_string(PackNo), PackNameCyr);
  return pack_path;
}

std::string CompletionText(const std::string& pack_path) {
  return "Pack installation finished\r\n" + pack_path;
}

}  // namespace tessaline

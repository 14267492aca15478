#include "installer/installation.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "installer/folders.h"
#include "installer/identity.h"
#include "installer/pack_copy.h"
#include "os/files.h"
#include "registry/cipher_reg.h"
#include "registry/registry_exception.h"

namespace tessaline {

namespace {

// Writes one value of the pack record. The store writes nothing when it
// cannot open or create the key; that must not pass for a recorded pack.
void WriteRecordValue(const std::string& name, const std::string& data) {
  bool written;
  try {
    written = CipherReg->WriteValue("Pack", name, data);
  } catch (const ERegistryException& e) {
    throw ERegistryException(WithCause(e.what(), e.cause()));
  }
  if (!written) throw ERegistryException("Failed to set data for '" + name + "'");
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
  const std::string folder = PackFolderFor(dir_n);
  const std::string pack_path = PackPathFor(dir_n);
  const std::string number = std::to_string(PackNo);
  const std::string key = kProductKeyPath + std::string("Pack");
  const std::vector<std::string> names = {"Pack" + number, "Comm" + number, "Cir" + number};
  const std::vector<std::string> record = {pack_path, PackName, PackNameCyr};
  TRegistry::ValuesBefore before;
  const auto check_record = [&] {
    before = CipherReg->CheckValuesBeforeWriting(key, names);
    if (!before.why_not.empty()) {
      throw ERegistryException(
          WithCause("Failed to set data for '" + names[0] + "'", before.why_not));
    }
  };
  std::optional<PendingCopy> copy;
  try {
    // A path no program could open is never recorded, nor its folders made.
    if (pack_path.size() > kMaxPathLength) {
      throw CannotCreateFile(pack_path, std::strerror(ENAMETOOLONG));
    }
    if (!folder.empty() && DirectoryExists(folder)) {
      copy.emplace(source_path, pack_path);
      copy->Write();
    }
  } catch (...) {
    check_record();  // a refused record is told first, as if checked first
    throw;
  }
  check_record();
  const Status folders = CreateFolderPath(folder);
  if (!copy) {
    try {
      copy.emplace(source_path, pack_path);
      copy->Write();
    } catch (const EFCreateError&) {
      // The pack file's folder could not be made: that is why.
      if (folders.ok()) throw;
      throw CannotCreateFile(pack_path, "Cannot create the folder '" + folders.error().path() +
                                            "': " + folders.error().Reason());
    }
  }
  copy->PutInPlace();
  std::size_t written = 0;
  try {
    for (; written < names.size(); ++written) WriteRecordValue(names[written], record[written]);
  } catch (const ERegistryException& failed) {
    // A record that fails half-way (a full disk, the hive's size limit)
    // leaves no half record and no pack file behind it: what was written is
    // put back as it was. (The failed value itself is looked at too: a write
    // can fail after its file took its place, when the folder cannot be
    // synced.)
    std::string message = failed.what();
    try {
      CipherReg->RestoreValues(key, names, record, before);
    } catch (const ERegistryException& e) {
      if (written > 0) message += "\r\nThe values written so far stay: " + std::string(e.what());
    }
    if (const Status undone = copy->Undo(); !undone.ok()) {
      message += "\r\nThe pack file stays: " + undone.error().ToString();
    }
    throw ERegistryException(message);
  }
  return pack_path;
}

std::string CompletionText(const std::string& pack_path) {
  return "Pack installation finished\r\n" + pack_path;
}

}  // namespace tessaline

#include "installer/installation.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <ostream>

#include "installer/folders.h"
#include "installer/identity.h"
#include "installer/pack_copy.h"
#include "installer/pack_record.h"
#include "os/files.h"
#include "os/process.h"
#include "registry/cipher_reg.h"
#include "registry/registry_exception.h"
#include "support/toolkit.h"

namespace tessaline {

namespace {

// The copy of `source_path` at `pack_path`, written but not yet in place;
// its folder must stand.
std::unique_ptr<PendingCopy> WriteCopy(const std::string& source_path,
                                       const std::string& pack_path) {
  auto copy = std::make_unique<PendingCopy>(source_path, pack_path);
  copy->Write();
  return copy;
}

// Prints a text whose lines end in CR LF (or LF) one line at a time.
void PrintLines(const std::string& text, std::ostream& out) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    out << text.substr(start, stop - start) << '\n';
    start = end + 1;
  }
}

}  // namespace

std::string PackFolderFor(const std::string& dir_n) {
  const std::string part = DirectoryPart(dir_n);
  std::string folder = part;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  // A directory part of separators only is the root, which stands where a
  // bare drive would.
  if (folder.empty() && !part.empty()) return "/";
  // An absolute folder is recorded normal, whatever the game's value or the
  // user gave: no "." or ".." names, no doubled "/".
  if (folder.starts_with('/')) {
    folder = DestinationForFolder(folder);
    if (folder.size() > 1) folder.pop_back();
  }
  return folder;
}

std::string PackPathFor(const std::string& dir_n, const std::string& pack_name) {
  const std::string folder = PackFolderFor(dir_n);
  if (folder.empty()) return {};
  return (folder == "/" ? folder : folder + "/") + pack_name + ".wpk";
}

std::string InstallPack(const std::string& dir_n, const std::string& source_path) {
  const std::string folder = PackFolderFor(dir_n);
  const std::string pack_path = PackPathFor(dir_n, PackName);
  std::unique_ptr<PendingCopy> copy;
  try {
    // A path no program could open is never recorded, nor its folders made.
    if (pack_path.size() > kMaxPathLength) {
      throw CannotCreateFile(pack_path, std::strerror(ENAMETOOLONG));
    }
    if (!folder.empty() && DirectoryExists(folder)) copy = WriteCopy(source_path, pack_path);
  } catch (...) {
    CheckRecordCanBeWritten();  // a refused record is told first, as if checked first
    throw;
  }
  CheckRecordCanBeWritten();
  const Status folders = CreateFolderPath(folder);
  if (!copy) {
    try {
      copy = WriteCopy(source_path, pack_path);
    } catch (const EFCreateError&) {
      // The pack file's folder could not be made: that is why.
      if (folders.ok()) throw;
      throw CannotCreateFile(pack_path, "Cannot create the folder '" + folders.error().path() +
                                            "': " + folders.error().Reason());
    }
  }
  // From putting the file in place until the record stands, no other
  // installer or uninstaller changes the hive: the two go together.
  const HiveFile::WriteLock hive_lock = HoldRecordLock();
  copy->PutInPlace();
  try {
    WritePackRecord(pack_path);
  } catch (const ERegistryException& failed) {
    // The record is written in one change, so a failed one changed no
    // value: only the pack file is put back as it was.
    std::string message = failed.what();
    if (const Status undone = copy->Undo(); !undone.ok()) {
      message += "\r\nThe pack file stays: " + undone.error().ToString();
    }
    throw ERegistryException(message);
  }
  return pack_path;
}

void PanelState::Create() {
  if (CipherReg->SubKeyExists("")) {
    destination = CipherReg->ReadValue("", "Wenlora", "");
    std::string installed_path = ReadRecordedPackPath();
    if (!installed_path.empty()) {
      destination = std::move(installed_path);
      installed = true;
    } else if (destination->empty()) {
      // The product key without the game's folder: what this program's own
      // installs and uninstalls leave where the game is not installed.
      destination = TempFolder();
    }
  } else {
    destination = TempFolder();
  }
  title = PackName;
}

std::string CompletionText(const std::string& pack_path) {
  return "Pack installation finished\r\n" + pack_path;
}

int RunUnattendedInstall(const std::optional<std::string>& dir, std::ostream& out,
                         std::ostream& err) {
  // A reader that went away must not kill us in the middle of an install.
  IgnoreBrokenPipes();
  ConsoleToolkit console(out, err);
  ScopedToolkit scoped(console);
  try {
    std::string destination;
    if (dir) {
      destination = DestinationForFolder(*dir);
    } else {
      PanelState state;
      state.Create();
      destination = state.destination.value_or("");
    }
    const std::string pack_path = InstallPack(destination, RunningImagePath());
    PrintLines(CompletionText(pack_path), out);
    return 0;  // whether the text reached its reader is the caller's check
  } catch (const std::exception& error) {
    PrintLines(ExceptionDisplayText(error.what()), err);
  } catch (...) {
    PrintLines(ExceptionDisplayText("Unknown error"), err);
  }
  err.flush();
  return 1;
}

}  // namespace tessaline

#include "tessaline_pack/make_pack.h"

#include <algorithm>
#include <ostream>
#include <span>
#include <vector>

#include "installer/identity.h"
#include "os/file_replacement.h"
#include "os/files.h"
#include "os/process.h"
#include "pack_sheet/card_sheet.h"
#include "tessaline_pack/elf_resources.h"
#include "text/path.h"

namespace tessaline {

namespace {

// A mistake in what was asked: its report, and exit status 2.
struct Refusal {
  std::string message;
};

std::string ReadReason(const SystemError& error, std::size_t limit) {
  if (error.code() == kErrorTooLarge) {
    return "it is larger than " + std::to_string(limit >> 20) + " MiB";
  }
  return error.Reason();
}

PackIdentity CheckIdentity(const PackOptions& options) {
  const std::optional<std::int32_t> number = ParsePackNumber(options.number);
  if (!number) {
    throw Refusal{"the number '" + options.number + "' is not a whole number from 1 to 2147483647"};
  }
  if (const std::string problem = TitleProblem(options.title, true); !problem.empty()) {
    throw Refusal{"the title '" + options.title + "' cannot be used: " + problem};
  }
  if (const std::string problem = TitleProblem(options.cyrillic_title, false); !problem.empty()) {
    throw Refusal{"the Cyrillic title '" + options.cyrillic_title + "' cannot be used: " + problem};
  }
  return {*number, options.title, options.cyrillic_title};
}

// Refuses an output that is the base itself: the same file, whatever the
// names (a link, a second hard link, a path through other folders).
void CheckOutputIsNotBase(const std::string& output, const std::string& base) {
  const Result<struct stat> base_file = StatPath(base);
  const Result<struct stat> output_file = StatPath(output);
  if (base_file.ok() && output_file.ok() && SameFile(base_file.value(), output_file.value())) {
    throw Refusal{"the output " + output + " is the base program itself"};
  }
}

std::string ReadBase(const std::string& base) {
  Result<std::string> bytes = ReadRegularFile(base, kMaxBaseSize);
  if (!bytes.ok()) {
    throw Refusal{"cannot read the base program " + base + ": " +
                  ReadReason(bytes.error(), kMaxBaseSize)};
  }
  return std::move(bytes.value());
}

CardSheet ReadSheet(const std::string& path, std::ostream& err) {
  const Result<std::string> bytes = ReadRegularFile(path, kMaxSheetFileSize);
  if (!bytes.ok()) {
    throw Refusal{path + ": cannot be read: " + ReadReason(bytes.error(), kMaxSheetFileSize)};
  }
  try {
    CardSheet sheet = CheckCardSheet(std::as_bytes(std::span(bytes.value())));
    if (!sheet.warning.empty())
      err << "tessaline-pack: " << path << ": warning: " << sheet.warning << "\n";
    return sheet;
  } catch (const SheetError& error) {
    throw Refusal{path + ": " + error.what()};
  }
}

// The pack's bytes: the base with the sheet and the identity replaced.
std::string StampedImage(const std::string& base, const CardSheet& sheet,
                         const PackIdentity& identity) {
  try {
    const ResourceWriter writer(ReadBase(base));
    const std::vector<std::string> carried = writer.ResourceNames();
    for (const char* name : kWindowResources) {
      if (std::find(carried.begin(), carried.end(), name) == carried.end()) {
        throw Refusal{"the base program " + base +
                      " is not a Tessaline program: it carries no resource " + name};
      }
    }
    const std::string identity_text = IdentityText(identity);
    const std::string_view dib(reinterpret_cast<const char*>(sheet.dib.data()), sheet.dib.size());
    return writer.With({{"PACK", dib}, {kIdentityResource, identity_text}});
  } catch (const BaseProgramError& error) {
    throw Refusal{"the base program " + base + " cannot be used: " + error.what()};
  }
}

Status WritePack(const std::string& output, const std::string& image) {
  FileReplacement file(output);
  if (Status made = file.Create(0755); !made.ok()) return made;
  if (Status written = WriteAll(file.fd(), image, output); !written.ok()) return written;
  if (Status synced = file.Sync(); !synced.ok()) return synced;
  return file.PutInPlace();
}

}  // namespace

std::string DefaultBaseProgram() {
  const std::string self = ExecutablePath();
  if (self.empty()) return {};
  return DirectoryPart(self) + "tessaline";
}

int MakePack(const PackOptions& options, std::ostream& err) {
  try {
    const PackIdentity identity = CheckIdentity(options);
    const std::string base = options.base.empty() ? DefaultBaseProgram() : options.base;
    if (base.empty()) throw Refusal{"cannot tell where this program is; name the base with --base"};
    CheckOutputIsNotBase(options.output, base);
    const CardSheet sheet = ReadSheet(options.sheet, err);
    const std::string image = StampedImage(base, sheet, identity);
    if (const Status written = WritePack(options.output, image); !written.ok()) {
      err << "tessaline-pack: cannot write " << options.output << ": " << written.error().Reason()
          << "\n";
      return 1;
    }
    return 0;
  } catch (const Refusal& refusal) {
    err << "tessaline-pack: " << refusal.message << "\n";
    return 2;
  }
}

}  // namespace tessaline

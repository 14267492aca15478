#include "support/dictionary.h"

#include <utility>

#include "os/files.h"
#include "os/process.h"
#include "text/compare.h"

namespace tessaline {

TDictionary* Dict = nullptr;
TDictPage* CommonPage = nullptr;
TDictPage* MessagePage = nullptr;

TDictPage::TDictPage(TDictionary* dictionary, std::string name)
    : Dictionary(dictionary), PageName(std::move(name)) {}

void TDictPage::LoadPage() {
  if (Loaded) return;
  try {
    const ProfileReader reader = ReadProfileFile(Dictionary->DictFileName());
    for (const std::string& name : reader.KeyNames(PageName)) {
      SetValue(name, reader.Value(PageName, name));
    }
  } catch (...) {
    // Leave no half-filled page behind; the next lookup tries again.
    Clear();
    throw;
  }
  Loaded = true;
}

void TDictPage::ClearPage() {
  Clear();
  Loaded = false;
}

std::string TDictPage::TranslateOrSame(std::string_view text) {
  const std::string key = EscapeKey(text);
  LoadPage();
  if (const int index = IndexOfName(key); index >= 0) return ValueOfLine(Strings(index));
  // "=" is escaped to a core byte first, so prefix and suffix hold exactly the
  // text's own leading and trailing characters.
  const Affixes parts = SplitAffixes(key);
  const int core_index = parts.ok ? IndexOfName(parts.core) : -1;
  if (core_index < 0) return std::string(text);
  std::string value = ValueOfLine(Strings(core_index));
  if (value.empty()) value = parts.core;
  return parts.prefix + value + parts.suffix;
}

TDictionary::~TDictionary() {
  // Free the pages while the dictionary they refer to is still whole.
  Clear();
}

TDictPage* TDictionary::GetPage(std::string_view name) {
  int index = IndexOf(name);
  if (index < 0) index = AddObject(std::string(name), new TDictPage(this, std::string(name)));
  return static_cast<TDictPage*>(Objects(index));
}

std::string TDictionary::DictFileName() {
  if (FileName.empty()) ResolveDictFileName();
  return FileName;
}

void TDictionary::ResolveDictFileName() {
  if (ExplicitName) return;
  const std::string base = ExecutablePath();
  // Without a known executable path there is no dictionary file; a bare
  // ".dic" would name a file in whatever the working folder happens to be.
  if (base.empty()) return;
  SetDictFileName(ReplaceExtension(base, ".dic"));
  ExplicitName = false;
}

void TDictionary::SetDictFileName(std::string_view name) {
  if (SameTextAscii(FileName, name)) return;
  if (!FileName.empty()) {
    for (int i = 0; i < Count(); ++i) static_cast<TDictPage*>(Objects(i))->ClearPage();
  }
  FileName = std::string(name);
  ExplicitName = true;
}

ProfileReader ReadProfileFile(const std::string& path) {
  if (path.empty()) return ProfileReader();
  Result<std::string> contents = ReadRegularFile(path, ProfileReader::kMaxFileBytes);
  if (!contents.ok()) return ProfileReader();
  return ProfileReader::FromBytes(contents.value());
}

std::string EscapeKey(std::string_view text) {
  std::string key(text);
  for (char& c : key) {
    if (c == '=') c = '\x85';
  }
  return key;
}

bool IsAffixChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 63 || (b >= 91 && b <= 96) || (b >= 123 && b <= 126);
}

Affixes SplitAffixes(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsAffixChar(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsAffixChar(text[end - 1])) --end;
  const std::string_view core = text.substr(begin, end - begin);
  return Affixes{!core.empty(), std::string(text.substr(0, begin)), std::string(core),
                 std::string(text.substr(end))};
}

std::string ValueOfLine(std::string_view line) {
  std::size_t eq = line.find('=');
  return std::string(eq == std::string_view::npos ? line : line.substr(eq + 1));
}

std::string ReplaceExtension(std::string_view path, std::string_view ext) {
  std::size_t pos = path.find_last_of("./");
  std::string out(
      path.substr(0, pos != std::string_view::npos && path[pos] == '.' ? pos : path.size()));
  out += ext;
  return out;
}

}  // namespace tessaline

// Feeds arbitrary bytes to the profile reader as a dictionary file, fills a
// page from it and translates texts through that page. Looks for crashes,
// leaks, hangs and inconsistent answers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/profile.h"
#include "support/dictionary.h"

namespace {

using tessaline::ProfileReader;
using tessaline::TDictionary;
using tessaline::TDictPage;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Exercise(const ProfileReader& reader, TDictPage& page, std::string_view input) {
  for (const std::string& name : reader.KeyNames(page.PageName)) {
    page.SetValue(name, reader.Value(page.PageName, name));
  }
  page.Loaded = true;  // filled; a lookup must not go to disk

  for (const std::string& name : reader.KeyNames(page.PageName)) {
    // Every listed name must be answerable, and within the buffer limits.
    Check(reader.Value(page.PageName, name).size() < ProfileReader::kValueBytes);
    page.TranslateOrSame(name);
  }
  // Page lines: a key, "=", a non-empty value.
  for (int i = 0; i < page.Count(); ++i) {
    const std::string& line = page.Strings(i);
    std::size_t eq = line.find('=');
    Check(eq != std::string::npos && eq + 1 < line.size());
  }
  const std::string_view samples[] = {"", "Save", "  Registry error 1:", "a=b", "-- 7 --"};
  for (std::string_view text : samples) {
    page.TranslateOrSame(text);
  }
  // Slices of the input itself as texts to translate.
  for (std::size_t start = 0; start < input.size() && start < 256; start += 17) {
    page.TranslateOrSame(input.substr(start, 40));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  ProfileReader reader = ProfileReader::FromBytes(input);
  Check(reader.KeyListBuffer("Common").size() <= ProfileReader::kKeyListBytes);

  TDictionary dict;
  dict.SetDictFileName("/nonexistent/fuzz.dic");
  Exercise(reader, *dict.GetPage("Common"), input);
  Exercise(reader, *dict.GetPage(""), input);
  // A section named by the input's first line, as the file might hold it.
  std::string_view first_line = input.substr(0, input.find_first_of("\r\n"));
  if (first_line.size() > 2 && first_line.front() == '[') {
    std::size_t close = first_line.rfind(']');
    if (close != std::string_view::npos && close > 1) {
      Exercise(reader, *dict.GetPage(first_line.substr(1, close - 1)), input);
    }
  }
  return 0;
}

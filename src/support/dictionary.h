// The localisation dictionary: translates short texts (chiefly message
// patterns) through a list of named pages, each filled lazily from the section
// of the same name in the ".dic" file beside the executable.
//
// Lookups ignore letter case (SameText) and tolerate surrounding digits, blanks
// and punctuation: a text not found whole is split into prefix, core and
// suffix (SplitAffixes) and the core is looked up instead. Keys are byte
// strings with each "=" written as the byte 0x85 (EscapeKey).
//
// Errors: a missing or unreadable file or section leaves every text unchanged.
// Ownership: a TDictionary owns its pages; the support library owns Dict.
// Thread use: none; the dictionary and its pages must not be used concurrently.
#pragma once

#include <string>
#include <string_view>

#include "support/string_list.h"
#include "support/support_module.h"
#include "text/profile.h"

namespace tessaline {

class TDictionary;

// One page: lines key "=" value, filled from the dictionary file's section
// PageName on the first lookup.
class TDictPage : public TStringList {
 public:
  // An empty, unloaded page of `dictionary` (not owned, must outlive the page).
  TDictPage(TDictionary* dictionary, std::string name);

  TDictionary* Dictionary;  // not owned
  std::string PageName;     // also its section's name
  bool Loaded = false;      // true once filled from the file

  // Fills the page from the dictionary file unless it is loaded already: for
  // each listed key of the section in file order, a non-empty value sets the
  // key's line, an empty one removes it. An exception from filling passes to
  // the caller and leaves the page empty and unloaded.
  void LoadPage();
  // Removes every line and marks the page unloaded.
  void ClearPage();

  // The translation of `text`, or `text` itself when there is none.
  std::string TranslateOrSame(std::string_view text);
};

// The list of pages: item texts are page names, item objects the pages.
class TDictionary : public TStringList {
 public:
  TDictionary() : TStringList(/*owns_objects=*/true) {}
  ~TDictionary() override;

  std::string FileName;       // path of the dictionary file; empty until resolved
  bool ExplicitName = false;  // true when FileName was last set by a client

  // The page named `name` (ignoring case), created and appended if missing.
  TDictPage* GetPage(std::string_view name);

  // The dictionary file's path, resolving the default on first use.
  std::string DictFileName();
  // Uses another dictionary file. A name equal to the current one ignoring
  // ASCII case changes nothing; a real change unloads every page (when a name
  // was set before) and marks the name explicit.
  void SetDictFileName(std::string_view name);
  // Sets the default path: the executable's path with its extension replaced
  // by ".dic". Does nothing while the name is explicit, and leaves the name
  // empty when the executable's path is unknown.
  void ResolveDictFileName();
};

// The INI file at `path`, read whole. A missing, unreadable or non-regular
// file (never waited for), or one larger than ProfileReader::kMaxFileBytes,
// reads as an empty file.
ProfileReader ReadProfileFile(const std::string& path);

// `text` with each "=" replaced by the byte 0x85.
std::string EscapeKey(std::string_view text);

// Whether `c` is a non-letter around a core: bytes 0..63, 91..96 and 123..126.
// Every other byte (letters, "@", 127 and all bytes from 128 up) belongs to a
// core.
bool IsAffixChar(char c);

struct Affixes {
  bool ok = false;  // the core is not empty
  std::string prefix;
  std::string core;
  std::string suffix;
};
// Splits off the leading and trailing runs of IsAffixChar. A text made only of
// affix characters goes wholly into the prefix.
Affixes SplitAffixes(std::string_view text);

// The part of a page line after its first "=" (the whole line if it has none).
std::string ValueOfLine(std::string_view line);

// `path` with its extension replaced by `ext`: the part from the last "." on
// is replaced when a "." comes after the last "/", else `ext` is appended.
std::string ReplaceExtension(std::string_view path, std::string_view ext);

// Frees the object a pointer variable refers to, if any, and sets the variable
// to nullptr (before the object's destructor runs).
template <typename T>
void FreeAndClear(T*& variable) {
  T* object = variable;
  variable = nullptr;
  delete object;
}

// The process-wide dictionary and its pages "Common" and "Message", created by
// SupportStartup() and freed by SupportShutdown(); nullptr outside that span.
extern TDictionary* Dict;
extern TDictPage* CommonPage;
extern TDictPage* MessagePage;

}  // namespace tessaline

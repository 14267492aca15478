#include "support/dictionary.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/test_support.h"
#include "os/process.h"

namespace tessaline {
namespace {

class DictionaryTest : public ::testing::Test {
 protected:
  // A dictionary reading `contents` as its file.
  TDictPage* CommonFrom(const std::string& contents) {
    dict_.SetDictFileName(dir_.Write("setup.dic", contents));
    return dict_.GetPage("Common");
  }

  test::ScratchDir dir_;
  TDictionary dict_;
};

TEST_F(DictionaryTest, WholeTextLookupIgnoresCase) {
  TDictPage* page = CommonFrom("[Common]\nSave=Speichern\nПривет=Hallo\n");
  EXPECT_EQ(page->TranslateOrSame("Save"), "Speichern");
  EXPECT_EQ(page->TranslateOrSame("SAVE"), "Speichern");
  EXPECT_EQ(page->TranslateOrSame("ПРИВЕТ"), "Hallo");
  EXPECT_EQ(page->TranslateOrSame("Sav"), "Sav");
}

TEST_F(DictionaryTest, CoreLookupKeepsAffixesAroundTheTranslation) {
  TDictPage* page = CommonFrom(
      "[Common]\nRegistry error=Registrierungsfehler\n"
      "Registry error 2=Zweiter Fehler\nerror=Fehler\n");
  EXPECT_EQ(page->TranslateOrSame("Registry error 1"), "Registrierungsfehler 1");
  EXPECT_EQ(page->TranslateOrSame("  Registry error:"), "  Registrierungsfehler:");
  EXPECT_EQ(page->TranslateOrSame("[registry ERROR]..."), "[Registrierungsfehler]...");
  // A whole-text entry wins over its core's entry, with no affixes added.
  EXPECT_EQ(page->TranslateOrSame("Registry error 2"), "Zweiter Fehler");
  // Letters inside the core are not affixes: "Registry errors" has no entry.
  EXPECT_EQ(page->TranslateOrSame("Registry errors!"), "Registry errors!");
}

TEST_F(DictionaryTest, TextsWithoutACoreTranslateToThemselves) {
  TDictPage* page = CommonFrom("[Common]\nx=y\n");
  for (const std::string text : {"", "  -- 12 --  ", "{}~|"}) {
    EXPECT_EQ(page->TranslateOrSame(text), text);
  }
}

TEST_F(DictionaryTest, EqualsSignIsLookedUpAsEscapeByte) {
  TDictPage* page = CommonFrom(
      "[Common]\na\x85"
      "b=a equals b\n");
  EXPECT_EQ(page->TranslateOrSame("a=b"), "a equals b");
  // A text holding the escape byte itself has the same key.
  EXPECT_EQ(page->TranslateOrSame("a\x85"
                                  "b"),
            "a equals b");
  // An "=" ends up in the core, so the affixes are the text's own.
  EXPECT_EQ(page->TranslateOrSame("1. a=b!"), "1. a equals b!");
  // Untranslated texts come back unescaped.
  EXPECT_EQ(page->TranslateOrSame("x=y"), "x=y");
  EXPECT_EQ(page->TranslateOrSame("= ="), "= =");
}

TEST_F(DictionaryTest, EmptyValuesAndDuplicatesFollowTheFileReader) {
  TDictPage* page = CommonFrom(
      "[Common]\nEmpty=\nBlank=   \nDup=first\nDUP=second\n"
      "Mixed=kept\n[Other]\nEmpty=elsewhere\n[common]\nLate=ignored\n");
  EXPECT_EQ(page->TranslateOrSame("Empty"), "Empty");
  EXPECT_EQ(page->TranslateOrSame("Blank"), "Blank");
  EXPECT_EQ(page->TranslateOrSame("dup"), "first");
  EXPECT_EQ(page->TranslateOrSame("Late"), "Late");
  // Page lines hold only non-empty values, one per key ignoring case.
  ASSERT_EQ(page->Count(), 2);
  EXPECT_EQ(page->Strings(0), "DUP=first");
  EXPECT_EQ(page->Strings(1), "Mixed=kept");
}

TEST_F(DictionaryTest, NamesEqualIgnoringCaseButDistinctToTheFileShareOneLine) {
  // The file reader folds ASCII only, so both Cyrillic keys are listed with
  // their own values; the page folds Cyrillic too and keeps one line.
  TDictPage* page = CommonFrom("[Common]\nПривет=one\nПРИВЕТ=\n");
  EXPECT_EQ(page->TranslateOrSame("привет"), "привет");
  EXPECT_EQ(page->Count(), 0);
}

TEST_F(DictionaryTest, MissingOrUnusableFileLeavesTextsUnchanged) {
  dict_.SetDictFileName(dir_.path() + "/absent.dic");
  TDictPage* page = dict_.GetPage("Common");
  EXPECT_EQ(page->TranslateOrSame("Save"), "Save");
  EXPECT_TRUE(page->Loaded);

  dict_.SetDictFileName(dir_.path());  // a folder
  EXPECT_FALSE(page->Loaded);
  EXPECT_EQ(page->TranslateOrSame("Save"), "Save");

  TDictPage* other = CommonFrom("[Message]\nSave=Speichern\n");
  EXPECT_EQ(other->TranslateOrSame("Save"), "Save");
}

TEST_F(DictionaryTest, PagesAreFoundIgnoringCaseAndCreatedOnce) {
  TDictPage* common = dict_.GetPage("Common");
  EXPECT_EQ(dict_.GetPage("common"), common);
  EXPECT_EQ(dict_.GetPage("COMMON"), common);
  TDictPage* fresh = dict_.GetPage("Fresh");
  EXPECT_EQ(dict_.GetPage("Fresh"), fresh);
  EXPECT_EQ(dict_.Count(), 2);
  EXPECT_EQ(fresh->PageName, "Fresh");
  EXPECT_EQ(fresh->Dictionary, &dict_);
  EXPECT_FALSE(fresh->Loaded);
}

TEST_F(DictionaryTest, PagesLoadLazilyAndOnlyARealRenameReloadsThem) {
  std::string first = dir_.Write("first.dic", "[Common]\nSave=Speichern\n");
  std::string second = dir_.Write("second.dic", "[Common]\nSave=Enregistrer\n");
  dict_.SetDictFileName(first);
  TDictPage* page = dict_.GetPage("Common");
  EXPECT_FALSE(page->Loaded);
  EXPECT_EQ(page->TranslateOrSame("Save"), "Speichern");
  EXPECT_TRUE(page->Loaded);

  // Changes on disk are not seen by a loaded page.
  dir_.Write("first.dic", "[Common]\nSave=Changed\n");
  EXPECT_EQ(page->TranslateOrSame("Save"), "Speichern");

  // The same name in other letter case is no change.
  std::string upper = first;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  dict_.SetDictFileName(upper);
  EXPECT_TRUE(page->Loaded);
  EXPECT_EQ(dict_.DictFileName(), first);

  dict_.SetDictFileName(second);
  EXPECT_FALSE(page->Loaded);
  EXPECT_EQ(page->Count(), 0);
  EXPECT_EQ(page->TranslateOrSame("Save"), "Enregistrer");
}

TEST_F(DictionaryTest, DefaultFileNameFollowsTheExecutable) {
  EXPECT_FALSE(dict_.ExplicitName);
  EXPECT_EQ(dict_.DictFileName(), ReplaceExtension(ExecutablePath(), ".dic"));
  EXPECT_FALSE(dict_.ExplicitName);
  dict_.SetDictFileName("/elsewhere/x.dic");
  EXPECT_TRUE(dict_.ExplicitName);
  dict_.ResolveDictFileName();
  EXPECT_EQ(dict_.FileName, "/elsewhere/x.dic");
}

TEST_F(DictionaryTest, EmptyFileNameRules) {
  // While no name is set, setting the empty text changes nothing.
  dict_.SetDictFileName("");
  EXPECT_FALSE(dict_.ExplicitName);

  // Emptying a set name makes it explicit: no default is resolved, pages read
  // nothing, and a later rename does not unload them.
  std::string file = dir_.Write("a.dic", "[Common]\nSave=Speichern\n");
  dict_.SetDictFileName(file);
  TDictPage* page = dict_.GetPage("Common");
  EXPECT_EQ(page->TranslateOrSame("Save"), "Speichern");
  dict_.SetDictFileName("");
  EXPECT_TRUE(dict_.ExplicitName);
  EXPECT_EQ(dict_.DictFileName(), "");
  EXPECT_FALSE(page->Loaded);
  EXPECT_EQ(page->TranslateOrSame("Save"), "Save");
  dict_.SetDictFileName(file);
  EXPECT_TRUE(page->Loaded);
  EXPECT_EQ(page->TranslateOrSame("Save"), "Save");
}

TEST(DictionaryHelpersTest, ExtensionIsReplacedOnlyInTheLastPathElement) {
  EXPECT_EQ(ReplaceExtension("/opt/games/setup.exe", ".dic"), "/opt/games/setup.dic");
  EXPECT_EQ(ReplaceExtension("/opt/games.old/setup", ".dic"), "/opt/games.old/setup.dic");
  EXPECT_EQ(ReplaceExtension("/opt/a.b.c", ".dic"), "/opt/a.b.dic");
  EXPECT_EQ(ReplaceExtension("/opt/c:setup", ".dic"), "/opt/c:setup.dic");
  EXPECT_EQ(ReplaceExtension("setup", ".dic"), "setup.dic");
}

TEST(DictionaryHelpersTest, AffixSplittingAndLineValues) {
  Affixes parts = SplitAffixes("  12) Ошибка @home_ 7:");
  EXPECT_TRUE(parts.ok);
  EXPECT_EQ(parts.prefix, "  12) ");
  EXPECT_EQ(parts.core, "Ошибка @home");
  EXPECT_EQ(parts.suffix, "_ 7:");
  parts = SplitAffixes("-- 42 --");
  EXPECT_FALSE(parts.ok);
  EXPECT_EQ(parts.prefix, "-- 42 --");
  EXPECT_EQ(parts.suffix, "");
  EXPECT_TRUE(IsAffixChar('='));
  EXPECT_FALSE(IsAffixChar('\x85'));
  EXPECT_FALSE(IsAffixChar('\x7f'));
  EXPECT_EQ(EscapeKey("a=b=c"),
            "a\x85"
            "b\x85"
            "c");
  EXPECT_EQ(ValueOfLine("k=v=w"), "v=w");
}

TEST(DictionaryHelpersTest, FreeAndClearEmptiesTheVariableFirst) {
  struct Probe : TObject {
    Probe(Probe** watched, bool* seen_null) : watched(watched), seen_null(seen_null) {}
    ~Probe() override { *seen_null = (*watched == nullptr); }
    Probe** watched;
    bool* seen_null;
  };
  Probe* variable = nullptr;
  bool seen_null = false;
  variable = new Probe(&variable, &seen_null);
  FreeAndClear(variable);
  EXPECT_EQ(variable, nullptr);
  EXPECT_TRUE(seen_null);
  FreeAndClear(variable);  // an empty variable is fine
}

// The non-letters around a core, byte by byte: 0..63, 91..96 and 123..126.
bool IsAffixByte(int b) {
  return b <= 63 || (b >= 91 && b <= 96) || (b >= 123 && b <= 126);
}

TEST(DictionaryHelpersTest, EveryByteSplitsOffAsAnAffixOrStaysInTheCore) {
  for (int b = 0; b < 256; ++b) {
    const std::string c(1, static_cast<char>(b));
    Affixes parts = SplitAffixes(c + "Core" + c);
    if (IsAffixByte(b)) {
      EXPECT_EQ(parts.prefix + "|" + parts.core + "|" + parts.suffix, c + "|Core|" + c) << b;
    } else {
      EXPECT_EQ(parts.prefix + "|" + parts.core + "|" + parts.suffix, "|" + c + "Core" + c + "|")
          << b;
    }
    Affixes alone = SplitAffixes(c);
    EXPECT_EQ(alone.ok, !IsAffixByte(b)) << b;
    EXPECT_EQ(alone.prefix, IsAffixByte(b) ? c : "") << b;
  }
}

TEST_F(DictionaryTest, EveryAffixByteIsPutBackAroundTheCoresTranslation) {
  TDictPage* page = CommonFrom("[Common]\nCore=Kern\n");
  for (int b = 0; b < 256; ++b) {
    const std::string c(1, static_cast<char>(b));
    // "=" is escaped to a core byte before the split, so it never comes off.
    const bool affix = IsAffixByte(b) && b != '=';
    EXPECT_EQ(page->TranslateOrSame(c + "Core" + c), (affix ? c + "Kern" + c : c + "Core" + c))
        << b;
  }
}

TEST_F(DictionaryTest, ACoreWhoseLineHasNoValueKeepsTheCore) {
  TDictPage* page = CommonFrom("[Common]\nCore=Kern\n");
  EXPECT_EQ(page->TranslateOrSame("x"), "x");  // loads the page
  page->Add("Lonely=");                        // only a client can put such a line on a page
  EXPECT_EQ(page->TranslateOrSame("(Lonely) 2"), "(Lonely) 2");
  // A whole match takes the line's value as it is.
  EXPECT_EQ(page->TranslateOrSame("Lonely"), "");
}

TEST_F(DictionaryTest, RenamingComparesAsciiLettersOnlyAndClearsEveryPage) {
  const std::string lower = dir_.Write("é.dic", "[Common]\nSave=Speichern\n[Message]\nOk=Gut\n");
  const std::string upper = dir_.Write("É.dic", "[Common]\nSave=Sichern\n[Message]\nOk=Fein\n");
  dict_.SetDictFileName(lower);
  TDictPage* common = dict_.GetPage("Common");
  TDictPage* message = dict_.GetPage("Message");
  EXPECT_EQ(common->TranslateOrSame("Save"), "Speichern");
  EXPECT_EQ(message->TranslateOrSame("Ok"), "Gut");
  // "é" and "É" are not the letters a to z: this is another name.
  dict_.SetDictFileName(upper);
  EXPECT_EQ(dict_.FileName, upper);
  EXPECT_FALSE(common->Loaded);
  EXPECT_FALSE(message->Loaded);
  EXPECT_EQ(common->TranslateOrSame("Save"), "Sichern");
  EXPECT_EQ(message->TranslateOrSame("Ok"), "Fein");
}

class ProfileFileTest : public ::testing::Test {
 protected:
  test::ScratchDir dir_;
};

TEST_F(ProfileFileTest, ReadsARegularFile) {
  ProfileReader r = ReadProfileFile(dir_.Write("a.ini", "[Common]\nSave=Speichern\n"));
  EXPECT_EQ(r.Value("Common", "Save"), "Speichern");
}

TEST_F(ProfileFileTest, UnusableFilesReadAsEmpty) {
  EXPECT_TRUE(ReadProfileFile(dir_ / "missing.ini").KeyNames("Common").empty());
  EXPECT_TRUE(ReadProfileFile("").KeyNames("").empty());
  EXPECT_TRUE(ReadProfileFile(dir_.path()).KeyNames("").empty());  // a folder

  // A pipe with no writer must not block the reader.
  std::string fifo = dir_ / "pipe.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(ReadProfileFile(fifo).KeyNames("").empty());

  // Binary garbage is read without harm.
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  ReadProfileFile(dir_.Write("garbage.ini", garbage)).KeyNames("");

  if (::geteuid() != 0) {  // root reads anything
    std::string locked = dir_.Write("locked.ini", "[s]\nk=v\n");
    ::chmod(locked.c_str(), 0);
    EXPECT_TRUE(ReadProfileFile(locked).KeyNames("s").empty());
  }
}

TEST_F(ProfileFileTest, FilesAboveTheSizeLimitAreNotRead) {
  std::string path = dir_ / "huge.ini";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[s]\nk=v\n";
  }
  std::filesystem::resize_file(path, ProfileReader::kMaxFileBytes + 1);  // sparse
  EXPECT_TRUE(ReadProfileFile(path).KeyNames("s").empty());
  std::filesystem::resize_file(path, ProfileReader::kMaxFileBytes);
  EXPECT_EQ(ReadProfileFile(path).Value("s", "k"), "v");
}

}  // namespace
}  // namespace tessaline

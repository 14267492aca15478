#include "platform/resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/exception.h"
#include "platform/process.h"

namespace tessaline {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string MessageOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no exception)";
}

std::vector<std::byte> AsBytes(const Bytes& b) {
  std::vector<std::byte> out(b.size());
  for (std::size_t i = 0; i < b.size(); ++i) out[i] = static_cast<std::byte>(b[i]);
  return out;
}

// A minimal relocatable ELF file: a null section, the section name table and
// one PROGBITS section per entry, then the section header table.
class ElfBuilder {
 public:
  ElfBuilder(bool wide, bool big) : wide_(wide), big_(big) {}

  Bytes Build(const std::vector<std::pair<std::string, Bytes>>& sections) {
    Bytes names{0};
    auto add_name = [&](const std::string& n) {
      std::uint32_t at = static_cast<std::uint32_t>(names.size());
      names.insert(names.end(), n.begin(), n.end());
      names.push_back(0);
      return at;
    };
    std::uint32_t names_name = add_name(".shstrtab");
    std::vector<std::uint32_t> name_at;
    for (const auto& s : sections) name_at.push_back(add_name(s.first));

    const std::size_t header = wide_ ? 64 : 52, entry = wide_ ? 64 : 40;
    Bytes out(header, 0);
    std::vector<std::pair<std::size_t, std::size_t>> placed;  // offset, size
    placed.push_back({out.size(), names.size()});
    out.insert(out.end(), names.begin(), names.end());
    for (const auto& s : sections) {
      placed.push_back({out.size(), s.second.size()});
      out.insert(out.end(), s.second.begin(), s.second.end());
    }
    while (out.size() % 8) out.push_back(0);
    const std::size_t table = out.size();
    const std::size_t count = 2 + sections.size();
    out.resize(table + count * entry, 0);

    std::copy_n(
        "\x7f"
        "ELF",
        4, out.begin());
    out[4] = wide_ ? 2 : 1;
    out[5] = big_ ? 2 : 1;
    out[6] = 1;
    Put(out, 16, 2, 1);   // relocatable
    Put(out, 18, 2, 62);  // machine
    Put(out, 20, 4, 1);
    if (wide_) {
      Put(out, 0x28, 8, table);
      Put(out, 0x34, 2, header);
      Put(out, 0x3a, 2, entry);
      Put(out, 0x3c, 2, count);
      Put(out, 0x3e, 2, 1);
    } else {
      Put(out, 0x20, 4, table);
      Put(out, 0x28, 2, header);
      Put(out, 0x2e, 2, entry);
      Put(out, 0x30, 2, count);
      Put(out, 0x32, 2, 1);
    }
    for (std::size_t i = 1; i < count; ++i) {
      std::size_t at = table + i * entry;
      Put(out, at, 4, i == 1 ? names_name : name_at[i - 2]);
      Put(out, at + 4, 4, i == 1 ? 3 : 1);  // string table / program bits
      Put(out, at + (wide_ ? 24 : 16), wide_ ? 8 : 4, placed[i - 1].first);
      Put(out, at + (wide_ ? 32 : 20), wide_ ? 8 : 4, placed[i - 1].second);
    }
    section_table_ = table;
    entry_size_ = entry;
    return out;
  }

  void Put(Bytes& out, std::size_t at, int width, std::uint64_t v) const {
    for (int i = 0; i < width; ++i) {
      int shift = big_ ? 8 * (width - 1 - i) : 8 * i;
      out[at + i] = static_cast<std::uint8_t>(v >> shift);
    }
  }

  // Where field `offset` of section header `index` lies.
  std::size_t Field(std::size_t index, std::size_t offset) const {
    return section_table_ + index * entry_size_ + offset;
  }

 private:
  bool wide_;
  bool big_;
  std::size_t section_table_ = 0;
  std::size_t entry_size_ = 0;
};

class ResourceFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tessaline_resources_" + std::to_string(getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const Bytes& bytes, const std::string& name = "file.elf") {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::filesystem::path dir_;
};

const Bytes kPicture{'B', 'M', 1, 2, 3, 0, 255, 7};

TEST_F(ResourceFileTest, FindsTheNamedSectionInEveryElfFlavour) {
  for (bool wide : {true, false}) {
    for (bool big : {false, true}) {
      SCOPED_TRACE(testing::Message() << (wide ? "64" : "32") << (big ? " big" : " little"));
      ElfBuilder builder(wide, big);
      std::string path = Write(builder.Build({{".text", {0x90, 0x90}},
                                              {".rsrc.PACKS", {9, 9}},
                                              {".rsrc.PACK", kPicture},
                                              {".rsrc.EMPTY", {}}}));
      EXPECT_EQ(ReadResourceFromFile(path, "PACK"), AsBytes(kPicture));
      EXPECT_EQ(ReadResourceFromFile(path, "PACKS"), AsBytes({9, 9}));
      EXPECT_TRUE(ReadResourceFromFile(path, "EMPTY").empty());
      EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(path, "PAC"); }), "Resource PAC not found");
      EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(path, "ICON"); }), "Resource ICON not found");
    }
  }
}

TEST_F(ResourceFileTest, UnreadableOrForeignFilesGiveClearErrors) {
  std::string missing = (dir_ / "absent.wpk").string();
  EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(missing, "PACK"); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  std::string text = Write({'h', 'e', 'l', 'l', 'o'}, "text.wpk");
  EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(text, "PACK"); }),
            "File " + text + " is not a valid executable");
  std::string empty = Write({}, "empty.wpk");
  EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(empty, "PACK"); }),
            "File " + empty + " is not a valid executable");
  // A real executable without resources: parsed, nothing found.
  EXPECT_EQ(MessageOf([&] { ReadResourceFromFile(ExecutablePath(), "NOT_EMBEDDED"); }),
            "Resource NOT_EMBEDDED not found");
}

TEST_F(ResourceFileTest, DamagedHeadersNeverLeadOutsideTheFile) {
  ElfBuilder builder(true, false);
  const Bytes good = builder.Build({{".rsrc.PACK", kPicture}});
  const std::string damaged = "is not a valid executable";
  auto message = [&](const Bytes& bytes) {
    std::string path = Write(bytes);
    return MessageOf([&] { ReadResourceFromFile(path, "PACK"); });
  };
  // Section data beyond the end of the file.
  Bytes bad = good;
  builder.Put(bad, builder.Field(2, 24), 8, good.size() - 2);
  EXPECT_NE(message(bad).find(damaged), std::string::npos);
  bad = good;
  builder.Put(bad, builder.Field(2, 32), 8, ~std::uint64_t{0} - 4);
  EXPECT_NE(message(bad).find(damaged), std::string::npos);
  // Section table beyond the file, entries too small, name table index out of range.
  bad = good;
  builder.Put(bad, 0x28, 8, ~std::uint64_t{0} - 100);
  EXPECT_NE(message(bad).find(damaged), std::string::npos);
  bad = good;
  builder.Put(bad, 0x3a, 2, 8);
  EXPECT_NE(message(bad).find(damaged), std::string::npos);
  bad = good;
  builder.Put(bad, 0x3e, 2, 40);
  EXPECT_NE(message(bad).find(damaged), std::string::npos);
  // A section name pointing outside the name table just does not match.
  bad = good;
  builder.Put(bad, builder.Field(2, 0), 4, 0xfffffff0u);
  EXPECT_EQ(message(bad), "Resource PACK not found");

  // Every shorter file, and many randomly damaged ones, either give the bytes
  // or one of the errors.
  for (std::size_t size = 0; size < good.size(); ++size) {
    EXPECT_NE(message(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))),
              "(no exception)")
        << size;
  }
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    Bytes noisy = good;
    for (int k = 0; k < 4; ++k)
      noisy[random() % noisy.size()] = static_cast<std::uint8_t>(random());
    std::string path = Write(noisy);
    try {
      std::vector<std::byte> bytes = ReadResourceFromFile(path, "PACK");
      EXPECT_LE(bytes.size(), noisy.size());
    } catch (const Exception&) {
    }
  }
}

TEST(ResourceTableTest, RegisteredResourcesAreFoundByExactName) {
  static const std::byte kFirst[] = {std::byte{1}, std::byte{2}};
  static const std::byte kSecond[] = {std::byte{3}};
  EXPECT_FALSE(HasResource("TEST_RESOURCE"));
  EXPECT_EQ(MessageOf([] { FindResource("TEST_RESOURCE"); }), "Resource TEST_RESOURCE not found");
  RegisterResource("TEST_RESOURCE", kFirst);
  EXPECT_TRUE(HasResource("TEST_RESOURCE"));
  EXPECT_EQ(FindResource("TEST_RESOURCE").data(), kFirst);
  EXPECT_EQ(FindResource("TEST_RESOURCE").size(), 2u);
  EXPECT_EQ(MessageOf([] { FindResource("test_resource"); }), "Resource test_resource not found");
  RegisterResource("TEST_RESOURCE", kSecond);
  EXPECT_EQ(FindResource("TEST_RESOURCE").data(), kSecond);
  EXPECT_EQ(ResourceSectionName("PACK"), ".rsrc.PACK");
}

}  // namespace
}  // namespace tessaline

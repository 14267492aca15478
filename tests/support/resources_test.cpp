#include "support/resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/elf_builder.h"
#include "os/process.h"
#include "support/exception.h"

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

using test::ElfBuilder;

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
  EXPECT_EQ(MessageOf([] { FindResource("TEST_RESOURCE"); }), "Resource TEST_RESOURCE not found");
  RegisterResource("TEST_RESOURCE", kFirst);
  EXPECT_EQ(FindResource("TEST_RESOURCE").data(), kFirst);
  EXPECT_EQ(FindResource("TEST_RESOURCE").size(), 2u);
  EXPECT_EQ(MessageOf([] { FindResource("test_resource"); }), "Resource test_resource not found");
  RegisterResource("TEST_RESOURCE", kSecond);
  EXPECT_EQ(FindResource("TEST_RESOURCE").data(), kSecond);
  EXPECT_EQ(ResourceSectionName("PACK"), ".rsrc.PACK");
}

}  // namespace
}  // namespace tessaline

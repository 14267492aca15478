// Parses arbitrary bytes as the base program of a pack: the resource writer
// either refuses them or writes an image that keeps the base's loaded image
// byte for byte and from which the installer's own reader gives back each
// resource written; nothing reads outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tessaline_pack/elf_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string base(reinterpret_cast<const char*>(data), size);
  try {
    const tessaline::ResourceWriter writer(base);
    const std::string image = writer.With({{"PACK", "sheet"}, {"IDENTITY", "id\n"}});
    const std::size_t loaded = writer.LoadedImageSize();
    if (loaded > image.size() || std::memcmp(image.data(), base.data(), loaded) != 0) {
      // The ELF header is rewritten (where the section table is); the rest
      // of the loaded image never changes.
      const std::size_t header = base[4] == 2 ? 64 : 52;
      if (loaded > image.size() ||
          std::memcmp(image.data() + header, base.data() + header, loaded - header) != 0)
        std::abort();
    }
    // Written again, the image takes the same resources the same way.
    const tessaline::ResourceWriter again(image);
    if (again.With({{"PACK", "sheet"}, {"IDENTITY", "id\n"}}) != image) std::abort();
  } catch (const tessaline::BaseProgramError&) {
  }
  return 0;
}

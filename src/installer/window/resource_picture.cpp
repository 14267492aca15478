#include "installer/window/resource_picture.h"

#include "support/resources.h"

namespace tessaline {

QPixmap ResourcePicture(const std::string& name) {
  const auto bytes = FindResource(name);
  QPixmap picture;
  picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                       static_cast<uint>(bytes.size()));
  return picture;
}

}  // namespace tessaline

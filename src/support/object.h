// The root of the toolkit's objects: what a string list's items may refer to
// (and, in an owning list, free).
#pragma once

namespace tessaline {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

}  // namespace tessaline

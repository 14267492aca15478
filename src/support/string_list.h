// The toolkit's string list: an ordered, unsorted list of texts, each with an
// optional associated object, with case-insensitive lookup (SameText) of whole
// texts and of names (the text before a line's first "=").
//
// Ownership: a list made with `owns_objects` true frees an item's object when
// the item goes; otherwise objects are only referred to.
// Errors: an index out of range throws std::out_of_range.
// Thread use: none; not even concurrent reads (name lookups fill a cache).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaline {

// The root of the objects a string list's items may refer to (and, in an
// owning list, free).
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

class TStringList : public TObject {
 public:
  explicit TStringList(bool owns_objects = false) : owns_objects_(owns_objects) {}
  ~TStringList() override;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const;
  TObject* Objects(int index) const;

  // Appends an item; returns its index. An owning list takes `object` (even
  // if appending fails).
  int Add(std::string text);
  int AddObject(std::string text, TObject* object);

  // Removes an item (freeing its object when the list owns objects).
  void Delete(int index);
  // Removes every item.
  void Clear();

  // Index of the first item whose text equals `text` ignoring case; -1 if none.
  int IndexOf(std::string_view text) const;
  // Index of the first line holding "=" whose text before its first "=" equals
  // `name` ignoring case; -1 if none.
  int IndexOfName(std::string_view name) const;

  // Assigns a value to a name: a non-empty value replaces the name's line by
  // name "=" value (appending that line if there is none); an empty value
  // removes the name's line if there is one.
  void SetValue(std::string_view name, std::string_view value);

 private:
  struct Item {
    std::string text;
    TObject* object;
  };

  void FreeObject(TObject* object) const;
  void IndexName(int index) const;
  void CheckIndex(int index) const;

  std::vector<Item> items_;
  bool owns_objects_;
  // Cache for IndexOfName: FoldCase(name) -> index of its first line. Valid
  // only while names_valid_; rebuilt on demand after a delete.
  mutable std::unordered_map<std::string, int> names_;
  mutable bool names_valid_ = true;
};

}  // namespace tessaline

#include "support/string_list.h"

#include <memory>
#include <stdexcept>
#include <utility>

#include "text/compare.h"

namespace tessaline {

TStringList::~TStringList() {
  Clear();
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

TObject* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::FreeObject(TObject* object) const {
  if (owns_objects_) delete object;
}

int TStringList::Add(std::string text) {
  return AddObject(std::move(text), nullptr);
}

int TStringList::AddObject(std::string text, TObject* object) {
  // Hold an owned object so that a failing append does not leak it.
  std::unique_ptr<TObject> guard(owns_objects_ ? object : nullptr);
  items_.push_back(Item{std::move(text), object});
  guard.release();
  const int index = Count() - 1;
  if (names_valid_) IndexName(index);
  return index;
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  TObject* object = items_[static_cast<std::size_t>(index)].object;
  items_.erase(items_.begin() + index);
  names_valid_ = false;
  FreeObject(object);
}

void TStringList::Clear() {
  std::vector<Item> items = std::move(items_);
  items_.clear();
  names_.clear();
  names_valid_ = true;
  for (Item& item : items) FreeObject(item.object);
}

int TStringList::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[static_cast<std::size_t>(i)].text, text)) return i;
  }
  return -1;
}

void TStringList::IndexName(int index) const {
  const std::string& text = items_[static_cast<std::size_t>(index)].text;
  std::size_t eq = text.find('=');
  if (eq == std::string::npos) return;
  // emplace keeps an existing entry: the first line of a name wins.
  names_.emplace(FoldCase(std::string_view(text).substr(0, eq)), index);
}

int TStringList::IndexOfName(std::string_view name) const {
  if (!names_valid_) {
    names_.clear();
    for (int i = 0; i < Count(); ++i) IndexName(i);
    names_valid_ = true;
  }
  // FoldCase equality is exactly SameText equality, so the index finds the
  // same line as a scan in list order would.
  auto it = names_.find(FoldCase(name));
  return it == names_.end() ? -1 : it->second;
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  std::string line;
  line.reserve(name.size() + 1 + value.size());
  line.append(name).append("=").append(value);
  if (index < 0) {
    Add(std::move(line));
  } else {
    items_[static_cast<std::size_t>(index)].text = std::move(line);
    // The line keeps its place and its name (in another case at most), so the
    // cache stays right.
  }
}

}  // namespace tessaline

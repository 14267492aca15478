// The toolkit's object model, as far as the support library needs it: a root
// class TObject whose instances know their class (TClass: a name and a parent),
// TComponent (an object with a Name), and Variant (a dynamically typed value).
//
// A class joins the model with TESSALINE_CLASS(ClassName, ParentClass) in its
// public section; without it an object reports its nearest declared ancestor.
//
// Thread use: class records are immutable; objects follow their own rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tessaline {

// A class record: the class's name and its parent (nullptr for TObject).
struct TClass {
  std::string_view name;
  const TClass* parent;

  // True when this class is `other` or descends from it.
  bool InheritsFrom(const TClass& other) const {
    for (const TClass* c = this; c != nullptr; c = c->parent) {
      if (c == &other) return true;
    }
    return false;
  }
};

#define TESSALINE_CLASS(ClassName_, Parent_)                                        \
  static const ::tessaline::TClass& StaticClass() {                                 \
    static const ::tessaline::TClass kRecord{#ClassName_, &Parent_::StaticClass()}; \
    return kRecord;                                                                 \
  }                                                                                 \
  const ::tessaline::TClass& ClassType() const override {                           \
    return StaticClass();                                                           \
  }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClass& StaticClass() {
    static const TClass kRecord{"TObject", nullptr};
    return kRecord;
  }
  virtual const TClass& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return std::string(ClassType().name); }
};

// An object with a name (the form designer's name of a window or control).
class TComponent : public TObject {
 public:
  TESSALINE_CLASS(TComponent, TObject)

  TComponent() = default;
  explicit TComponent(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  std::string name_;
};

// A dynamically typed value: unassigned, null, Boolean, integer, floating
// point or text.
class Variant {
 public:
  struct NullValue {};

  Variant() = default;  // unassigned
  static Variant Null() {
    Variant v;
    v.value_ = NullValue{};
    return v;
  }
  Variant(bool value) : value_(value) {}                      // NOLINT: implicit by design
  Variant(std::int64_t value) : value_(value) {}              // NOLINT
  Variant(int value) : value_(std::int64_t{value}) {}         // NOLINT
  Variant(double value) : value_(value) {}                    // NOLINT
  Variant(std::string value) : value_(std::move(value)) {}    // NOLINT
  Variant(const char* value) : value_(std::string(value)) {}  // NOLINT

  bool IsUnassigned() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsNull() const { return std::holds_alternative<NullValue>(value_); }

  // The value as text: "" when unassigned or null, "True"/"False", decimal
  // integers, numbers with up to 15 significant digits, texts as they are.
  std::string ToText() const;

 private:
  std::variant<std::monostate, NullValue, bool, std::int64_t, double, std::string> value_;
};

}  // namespace tessaline

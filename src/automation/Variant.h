#pragma once

// The automation variant: the four kinds of value that travel through the
// dispatch interface (32-bit integer, string, object reference, and a
// two-dimensional array of variants), plus "empty".

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace yelvane {

class Dispatch;
class Variant;

// Two-dimensional array with lower bounds 1, like a SAFEARRAY of VARIANTs.
class VariantArray {
 public:
  VariantArray(int rows, int columns);
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  // 1-based; the caller keeps the indexes in bounds.
  Variant& At(int row, int column);
  const Variant& At(int row, int column) const;

 private:
  int rows_;
  int columns_;
  std::vector<Variant> items_;
};

class Variant {
 public:
  enum class Type { Empty, Int, String, Object, Array, Bool };

  Variant() = default;
  Variant(int32_t value) : value_(value) {}  // NOLINT: variants convert freely
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(std::shared_ptr<Dispatch> object) : value_(std::move(object)) {}
  Variant(std::shared_ptr<VariantArray> array) : value_(std::move(array)) {}

  // True or False, as properties such as PageSetup.Zoom take them.
  static Variant Boolean(bool value) {
    Variant v;
    v.value_ = value;
    return v;
  }

  Type GetType() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return GetType() == Type::Empty; }
  int32_t Int() const;
  // The string, or "" for any other type.
  const std::string& String() const;
  // The object field, taken without checking the type: null unless an object.
  Dispatch* Object() const;
  std::shared_ptr<Dispatch> ObjectRef() const;
  const VariantArray* Array() const;
  bool Bool() const;  // false unless a true Bool
  void Clear() { value_ = std::monostate{}; }

 private:
  std::variant<std::monostate, int32_t, std::string, std::shared_ptr<Dispatch>,
               std::shared_ptr<VariantArray>, bool>
      value_;
};

}  // namespace yelvane

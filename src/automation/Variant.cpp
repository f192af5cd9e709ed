#include "automation/Variant.h"

namespace yelvane {

VariantArray::VariantArray(int rows, int columns)
    : rows_(rows < 0 ? 0 : rows),
      columns_(columns < 0 ? 0 : columns),
      items_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_)) {}

Variant& VariantArray::At(int row, int column) {
  return items_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(column - 1)];
}

const Variant& VariantArray::At(int row, int column) const {
  return items_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(column - 1)];
}

int32_t Variant::Int() const {
  const auto* value = std::get_if<int32_t>(&value_);
  return value ? *value : 0;
}

bool Variant::Bool() const {
  const auto* value = std::get_if<bool>(&value_);
  return value && *value;
}

const std::string& Variant::String() const {
  static const std::string kEmpty;
  const auto* value = std::get_if<std::string>(&value_);
  return value ? *value : kEmpty;
}

Dispatch* Variant::Object() const {
  const auto* value = std::get_if<std::shared_ptr<Dispatch>>(&value_);
  return value ? value->get() : nullptr;
}

std::shared_ptr<Dispatch> Variant::ObjectRef() const {
  const auto* value = std::get_if<std::shared_ptr<Dispatch>>(&value_);
  return value ? *value : nullptr;
}

const VariantArray* Variant::Array() const {
  const auto* value = std::get_if<std::shared_ptr<VariantArray>>(&value_);
  return value ? value->get() : nullptr;
}

}  // namespace yelvane

#pragma once

// The late-bound automation interface: members are found by name and invoked
// with a call kind and positional arguments. On Windows an adapter wraps
// Excel's IDispatch; everywhere the built-in spreadsheet engine answers it.

#include <cstdint>
#include <string>
#include <vector>

#include "automation/Variant.h"

namespace yelvane {

using HResult = int32_t;
using DispId = int32_t;

// Call kinds (the dispatch flags).
inline constexpr uint16_t kDispatchMethod = 1;
inline constexpr uint16_t kDispatchPropertyGet = 2;
inline constexpr uint16_t kDispatchPropertyPut = 4;

inline constexpr DispId kDispIdPropertyPut = -3;
inline constexpr uint32_t kLocaleUserDefault = 0x400;
inline constexpr uint32_t kLocaleSystemDefault = 0x800;

// Status codes as the real automation server gives them.
inline constexpr HResult kStatusOk = 0;
inline constexpr HResult kDispEMemberNotFound = static_cast<HResult>(0x80020003u);
inline constexpr HResult kDispEParamNotFound = static_cast<HResult>(0x80020004u);
inline constexpr HResult kDispETypeMismatch = static_cast<HResult>(0x80020005u);
inline constexpr HResult kDispEUnknownName = static_cast<HResult>(0x80020006u);
inline constexpr HResult kDispENoNamedArgs = static_cast<HResult>(0x80020007u);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);
// The application's own run-time error (its error 1004), which it returns
// as the status when the caller asks for no exception information.
inline constexpr HResult kXlEApplication = static_cast<HResult>(0x800A03ECu);
inline constexpr HResult kDispEBadIndex = static_cast<HResult>(0x8002000Bu);
inline constexpr HResult kDispEBadParamCount = static_cast<HResult>(0x8002000Eu);
inline constexpr HResult kRpcEDisconnected = static_cast<HResult>(0x80010108u);

struct DispParams {
  // Positional arguments in dispatch order: the member's last parameter first.
  std::vector<Variant> args;
  std::vector<DispId> namedArgs;
};

class Dispatch {
 public:
  virtual ~Dispatch() = default;
  virtual HResult GetIDsOfNames(const std::string& name, uint32_t locale, DispId& id) = 0;
  virtual HResult Invoke(DispId id, uint32_t locale, uint16_t flags, const DispParams& params,
                         Variant* result) = 0;
};

}  // namespace yelvane

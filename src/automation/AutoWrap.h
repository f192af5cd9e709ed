#pragma once

// The one generic automation call, and the cell and range operations built on
// it. Failures show a message box and the caller goes on with its next step.

#include <initializer_list>
#include <string>
#include <vector>

#include "automation/Dispatch.h"
#include "common/Sinks.h"

namespace yelvane {

inline constexpr const char* kNullDispatchMessage = "NULL IDispatch passed to AutoWrap()";

// Invokes `name` on `object` with `kind` (1 method, 2 get, 3 both, 4 put) and
// the arguments in dispatch order (last parameter first). Returns the status;
// a null object shows kNullDispatchMessage and returns 0.
HResult AutoWrap(MessageSink& messages, int kind, Variant* result, Dispatch* object,
                 const std::string& name, const std::vector<Variant>& args);
inline HResult AutoWrap(MessageSink& messages, int kind, Variant* result, Dispatch* object,
                        const std::string& name, std::initializer_list<Variant> args = {}) {
  return AutoWrap(messages, kind, result, object, name, std::vector<Variant>(args));
}

}  // namespace yelvane

#include "engine/SpreadsheetEngine.h"

#include <cmath>
#include <cstdlib>

#include "common/NoCase.h"
#include "engine/EngineObjects.h"
#include "engine/LibreOffice.h"

namespace yelvane {
namespace engine {

HResult IntArg(const Variant& v, int32_t& out) {
  switch (v.GetType()) {
    case Variant::Type::Int:
      out = v.Int();
      return kStatusOk;
    case Variant::Type::Bool:
      out = v.Bool() ? -1 : 0;  // the application's True is -1
      return kStatusOk;
    case Variant::Type::String: {
      const std::string& s = v.String();
      char* end = nullptr;
      const double d = std::strtod(s.c_str(), &end);
      if (s.empty() || *end != '\0' || std::fabs(d) > 2147483647.0) return kDispETypeMismatch;
      out = static_cast<int32_t>(std::lround(d));
      return kStatusOk;
    }
    default:
      return kDispETypeMismatch;
  }
}

HResult StringArg(const Variant& v, std::string& out) {
  switch (v.GetType()) {
    case Variant::Type::String:
      out = v.String();
      return kStatusOk;
    case Variant::Type::Int:
      out = std::to_string(v.Int());
      return kStatusOk;
    default:
      return kDispETypeMismatch;
  }
}

// Base of every engine object: a static table of members found by name

HResult EngineCall::Answer(Variant v) const {
  Return(std::move(v));
  return kStatusOk;
}

HResult PutFlag(const EngineCall& call, bool& flag) {
  int32_t value = 0;
  RETURN_IF_FAILED(IntArg(*call.value, value));
  flag = value != 0;
  return kStatusOk;
}

HResult ArgCount(const EngineCall& call, std::size_t min, std::size_t max) {
  return call.args.size() < min || call.args.size() > max ? kDispEBadParamCount : kStatusOk;
}

HResult EngineBase::GetIDsOfNames(const std::string& name, uint32_t, DispId& id) {
  const auto& members = Members();
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (EqualNoCase(name, members[i].name)) {
      id = static_cast<DispId>(i + 1);
      return kStatusOk;
    }
  }
  id = -1;
  return kDispEUnknownName;
}

HResult EngineBase::Invoke(DispId id, uint32_t, uint16_t flags, const DispParams& params,
                           Variant* result) {
  const auto& members = Members();
  if (id < 1 || static_cast<std::size_t>(id) > members.size()) return kDispEMemberNotFound;
  if (!Alive()) return kRpcEDisconnected;
  const Member& m = members[static_cast<std::size_t>(id - 1)];
  const auto& a = params.args;
  EngineCall call;
  call.result = result;
  if (flags & kDispatchPropertyPut) {
    if (!m.put) return kDispEMemberNotFound;
    if (params.namedArgs.size() != 1 || params.namedArgs[0] != kDispIdPropertyPut || a.empty())
      return kDispEParamNotFound;
    call.value = &a[0];
    call.args.assign(a.rbegin(), a.rend() - 1);
    return (this->*m.put)(call);
  }
  if (!params.namedArgs.empty()) return kDispENoNamedArgs;
  if (!(flags & (kDispatchMethod | kDispatchPropertyGet)) || !m.get) return kDispEMemberNotFound;
  call.args.assign(a.rbegin(), a.rend());
  return (this->*m.get)(call);
}

}  // namespace engine

std::string EngineAutomationServer::CheckTarget(const std::string& path) {
  if (EndsWithNoCase(path, ".xls") && FindLibreOffice(options_.sofficePath).empty()) {
    return "LibreOffice is not installed, and it is needed to write the 97-2003 format (.xls). "
           "Save the report as .xlsx instead.";
  }
  return {};
}

std::shared_ptr<Dispatch> EngineAutomationServer::CreateInstance() {
  last_ = CreateEngineApplication(options_);
  return AsDispatch(last_);
}

}  // namespace yelvane

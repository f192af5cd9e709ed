#include "automation/AutoWrap.h"

#include "common/Format.h"

namespace yelvane {

namespace {

// Status codes and ids print as 32-bit values whatever the width of long.
unsigned long Hex32(int32_t value) {
  return static_cast<unsigned long>(static_cast<uint32_t>(value));
}

}  // namespace

HResult AutoWrap(MessageSink& messages, int kind, Variant* result, Dispatch* object,
                 const std::string& name, const std::vector<Variant>& args) {
  if (object == nullptr) {
    messages.ShowMessage(kNullDispatchMessage, MessageIcon::Error);
    return kStatusOk;
  }
  DispId id = 0;
  HResult status = object->GetIDsOfNames(name, kLocaleUserDefault, id);
  if (status < 0) {
    messages.ShowMessage(Format("IDispatch::GetIDsOfNames(\"%s\") failed w/err 0x%08lx",
                                name.c_str(), Hex32(status)),
                         MessageIcon::Error);
    return status;
  }
  DispParams params;
  params.args = args;
  if (kind & kDispatchPropertyPut) params.namedArgs.push_back(kDispIdPropertyPut);
  if (result) result->Clear();
  status = object->Invoke(id, kLocaleSystemDefault, static_cast<uint16_t>(kind), params, result);
  if (status < 0) {
    messages.ShowMessage(Format("IDispatch::Invoke(\"%s\"=%08lx) failed w/err 0x%08lx",
                                name.c_str(), Hex32(id), Hex32(status)),
                         MessageIcon::Error);
  }
  return status;
}

}  // namespace yelvane

#include "automation/ComAutomation.h"

#ifdef _WIN32

#include <vector>

namespace yelvane {

namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const wchar_t* text, UINT length) {
  if (!text || length == 0) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr,
                      nullptr);
  return narrow;
}

void ToVariant(const Variant& from, VARIANT& to);

// The table block: a SAFEARRAY of VARIANTs with lower bounds 1, indexed
// (row, column) like the array it comes from.
SAFEARRAY* ToSafeArray(const VariantArray& array) {
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 1;
  bounds[0].cElements = static_cast<ULONG>(array.Rows());
  bounds[1].lLbound = 1;
  bounds[1].cElements = static_cast<ULONG>(array.Columns());
  SAFEARRAY* safe = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!safe) return nullptr;
  for (int r = 1; r <= array.Rows(); ++r) {
    for (int c = 1; c <= array.Columns(); ++c) {
      VARIANT item;
      VariantInit(&item);
      ToVariant(array.At(r, c), item);
      LONG indices[2] = {r, c};
      SafeArrayPutElement(safe, indices, &item);  // copies the item
      VariantClear(&item);
    }
  }
  return safe;
}

void ToVariant(const Variant& from, VARIANT& to) {
  VariantInit(&to);
  switch (from.GetType()) {
    case Variant::Type::Int:
      to.vt = VT_I4;
      to.lVal = from.Int();
      break;
    case Variant::Type::Bool:
      to.vt = VT_BOOL;
      to.boolVal = from.Bool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case Variant::Type::String: {
      const std::wstring wide = Widen(from.String());
      to.vt = VT_BSTR;
      to.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      break;
    }
    case Variant::Type::Object:
      if (auto* com = dynamic_cast<ComDispatch*>(from.Object())) {
        to.vt = VT_DISPATCH;
        to.pdispVal = com->Get();
        to.pdispVal->AddRef();
      }
      break;
    case Variant::Type::Array:
      if (SAFEARRAY* safe = ToSafeArray(*from.Array())) {
        to.vt = VT_ARRAY | VT_VARIANT;
        to.parray = safe;
      }
      break;
    default:
      break;
  }
}

Variant FromVariant(VARIANT& from) {
  switch (from.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_DISPATCH:
      // The object field, as the report takes it.
      if (!from.pdispVal) return {};
      from.pdispVal->AddRef();
      return Variant(std::shared_ptr<Dispatch>(std::make_shared<ComDispatch>(from.pdispVal)));
    case VT_BSTR:
      return Variant(Narrow(from.bstrVal, SysStringLen(from.bstrVal)));
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_BOOL: {
      VARIANT number;
      VariantInit(&number);
      if (SUCCEEDED(VariantChangeType(&number, &from, 0, VT_I4))) return Variant(number.lVal);
      return {};
    }
    default: {
      VARIANT text;
      VariantInit(&text);
      if (SUCCEEDED(VariantChangeType(&text, &from, 0, VT_BSTR))) {
        Variant result(Narrow(text.bstrVal, SysStringLen(text.bstrVal)));
        VariantClear(&text);
        return result;
      }
      return {};
    }
  }
}

}  // namespace

ComDispatch::~ComDispatch() {
  if (dispatch_) dispatch_->Release();
}

HResult ComDispatch::GetIDsOfNames(const std::string& name, uint32_t locale, DispId& id) {
  std::wstring wide = Widen(name);
  LPOLESTR names[1] = {wide.data()};
  DISPID dispid = 0;
  const HRESULT status = dispatch_->GetIDsOfNames(IID_NULL, names, 1, locale, &dispid);
  id = dispid;
  return status;
}

HResult ComDispatch::Invoke(DispId id, uint32_t locale, uint16_t flags, const DispParams& params,
                            Variant* result) {
  // One spare entry, so the array is never empty.
  std::vector<VARIANT> args(params.args.size() + 1);
  for (std::size_t i = 0; i < params.args.size(); ++i) ToVariant(params.args[i], args[i]);
  VariantInit(&args.back());
  std::vector<DISPID> named(params.namedArgs.begin(), params.namedArgs.end());
  DISPPARAMS dp{};
  dp.cArgs = static_cast<UINT>(params.args.size());
  dp.rgvarg = args.data();
  dp.cNamedArgs = static_cast<UINT>(named.size());
  dp.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
  VARIANT out;
  VariantInit(&out);
  const HRESULT status = dispatch_->Invoke(id, IID_NULL, locale, flags, &dp,
                                           result ? &out : nullptr, nullptr, nullptr);
  for (auto& arg : args) VariantClear(&arg);
  if (result) *result = FromVariant(out);
  VariantClear(&out);
  return status;
}

void ComAutomationServer::Initialize() {
  initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

bool ComAutomationServer::LookUpClass() {
  return SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid_));
}

std::shared_ptr<Dispatch> ComAutomationServer::CreateInstance() {
  IDispatch* dispatch = nullptr;
  const HRESULT status = CoCreateInstance(clsid_, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                          reinterpret_cast<void**>(&dispatch));
  if (FAILED(status) || !dispatch) return nullptr;
  return std::make_shared<ComDispatch>(dispatch);
}

void ComAutomationServer::Uninitialize() {
  if (initialized_) CoUninitialize();
  initialized_ = false;
}

}  // namespace yelvane

#endif  // _WIN32

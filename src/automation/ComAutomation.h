#pragma once

// Windows: the dispatch interface over Excel's own IDispatch, reached as the
// local automation server "Excel.Application".

#ifdef _WIN32

// windows.h first: the OLE headers build on it.
#include <windows.h>

#include <oleauto.h>

#include <memory>
#include <string>

#include "automation/AutomationServer.h"
#include "automation/Dispatch.h"

namespace yelvane {

// Owns one reference to a COM IDispatch.
class ComDispatch final : public Dispatch {
 public:
  explicit ComDispatch(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~ComDispatch() override;
  ComDispatch(const ComDispatch&) = delete;
  ComDispatch& operator=(const ComDispatch&) = delete;

  IDispatch* Get() const { return dispatch_; }
  HResult GetIDsOfNames(const std::string& name, uint32_t locale, DispId& id) override;
  HResult Invoke(DispId id, uint32_t locale, uint16_t flags, const DispParams& params,
                 Variant* result) override;

 private:
  IDispatch* dispatch_;
};

// Excel as the workbook worker's application: COM for this thread (single-
// threaded apartment), the class id of "Excel.Application", a local server.
class ComAutomationServer final : public AutomationServer {
 public:
  void Initialize() override;
  bool LookUpClass() override;
  std::shared_ptr<Dispatch> CreateInstance() override;
  void Uninitialize() override;

 private:
  CLSID clsid_{};
  bool initialized_ = false;
};

}  // namespace yelvane

#endif  // _WIN32

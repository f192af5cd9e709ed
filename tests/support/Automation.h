#pragma once

// A decorator that logs every automation call made through it and through
// the objects it hands out.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation/Dispatch.h"

namespace yelvane::test {

struct CallRecord {
  std::string name;
  uint16_t flags = 0;
  std::vector<std::string> args;  // dispatch order; objects as "<object>"
  std::size_t namedArgs = 0;
};

inline std::string Describe(const Variant& v) {
  switch (v.GetType()) {
    case Variant::Type::Int:
      return std::to_string(v.Int());
    case Variant::Type::String:
      return "\"" + v.String() + "\"";
    case Variant::Type::Bool:
      return v.Bool() ? "True" : "False";
    case Variant::Type::Object:
      return "<object>";
    case Variant::Type::Array:
      return "<array " + std::to_string(v.Array()->Rows()) + "x" +
             std::to_string(v.Array()->Columns()) + ">";
    default:
      return "<empty>";
  }
}

// Logs every call made through it and through the objects it returns; names
// in `unknown` are refused like names the application does not know.
class RecordingDispatch final : public Dispatch {
 public:
  struct Log {
    std::vector<CallRecord> calls;
    std::set<std::string> unknown;
  };
  RecordingDispatch(std::shared_ptr<Dispatch> inner, std::shared_ptr<Log> log)
      : inner_(std::move(inner)), log_(std::move(log)) {}

  HResult GetIDsOfNames(const std::string& name, uint32_t locale, DispId& id) override {
    if (log_->unknown.count(name)) return kDispEUnknownName;
    const HResult status = inner_->GetIDsOfNames(name, locale, id);
    if (status >= 0) names_[id] = name;
    return status;
  }
  HResult Invoke(DispId id, uint32_t locale, uint16_t flags, const DispParams& params,
                 Variant* result) override {
    CallRecord record{names_[id], flags, {}, params.namedArgs.size()};
    DispParams forwarded = params;
    for (auto& arg : forwarded.args) {
      record.args.push_back(Describe(arg));
      if (auto* wrapped = dynamic_cast<RecordingDispatch*>(arg.Object())) arg = wrapped->inner_;
    }
    log_->calls.push_back(record);
    const HResult status = inner_->Invoke(id, locale, flags, forwarded, result);
    if (result && result->Object()) {
      *result =
          std::shared_ptr<Dispatch>(std::make_shared<RecordingDispatch>(result->ObjectRef(), log_));
    }
    return status;
  }

 private:
  std::shared_ptr<Dispatch> inner_;
  std::shared_ptr<Log> log_;
  std::map<DispId, std::string> names_;
};

}  // namespace yelvane::test

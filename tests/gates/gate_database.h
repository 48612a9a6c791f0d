// Fresh databases with gate rows written the way gate import writes them,
// and a stub runner with defaults of its own.
#pragma once

#include <memory>
#include <string>

#include "core/fresh_database.h"
#include "gatesender.h"

class GateDatabase : public FreshDatabase {
 protected:
  void Gate(const std::string& name, const std::string& type = "SMS", const std::string& gateClass = "HTTP",
            const std::string& version = "1", const std::string& disabled = "0", int priority = 10,
            const std::string& caption = "") {
    db().AddParamText(":Name", name);
    db().AddParamText(":Class", gateClass);
    db().AddParamText(":Type", type);
    db().AddParamText(":Caption", caption.empty() ? "Caption of " + name : caption);
    db().AddParamText(":Version", version);
    db().AddParamText(":Disabled", disabled);
    db().AddParamInt(":Priority", priority);
    db().ExecSQL(
        "INSERT INTO gates.Gate (Name, Class, Type, Caption, Version, Disabled, Priority) "
        "VALUES (:Name, :Class, :Type, :Caption, :Version, :Disabled, :Priority)");
  }
  void Param(const std::string& gate, int paramClass, const std::string& name, const std::string& value) {
    db().AddParamText(":Gate", gate);
    db().AddParamInt(":Class", paramClass);
    db().AddParamText(":Name", name);
    db().AddParamText(":Value", value);
    db().ExecSQL(
        "INSERT INTO gates.GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:Gate, :Name, :Class, :Value)");
  }
  void Prefix(const std::string& gate, const std::string& start, const std::string& end, const std::string& format,
              int tag = 0) {
    db().AddParamText(":Gate", gate);
    db().AddParamText(":Start", start);
    db().AddParamText(":End", end);
    db().AddParamText(":Format", format);
    db().AddParamInt(":Tag", tag);
    db().ExecSQL(
        "INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd, Tag) VALUES (:Gate, :Format, :Start, "
        ":End, :Tag)");
  }
  std::string Stored(const std::string& gate, const std::string& name) {
    db().AddParamText(":Gate", gate);
    db().AddParamText(":Name", name);
    return db().GetStringValue("SELECT ParamValue FROM gates.GateParam WHERE GateName=:Gate AND ParamName=:Name AND ParamClass=2");
  }
};

// How often a TStubLogger was finished.
inline int StubLoggersFinished = 0;

class TStubLogger : public TSendLogger {
 public:
  using TSendLogger::TSendLogger;
  void Finish() override { ++StubLoggersFinished; }
};

// A runner with defaults of its own, as the HTTP runner has.
class TStubSender : public TGateSender {
 public:
  using TGateSender::TGateSender;
  void SetDefaultInfo() override {
    TGateSender::SetDefaultInfo();
    Info.SetItemNamed("SupportFlash", Variant::Integer(1));
  }
  void SetDefaultParams() override { SendParams.SetItemNamed("HandleRedirects", Variant::Integer(1)); }
  std::unique_ptr<TSendLogger> CreateLogger() override {
    return TSendLogger::Create<TStubLogger>(Name + " v." + std::to_string(Version));
  }
};

// Configuration calls of the facade: property files with the "klog." key
// prefix, the built-in console configuration and the validity test.
#include <log4cplus/configurator.h>
#include <log4cplus/helpers/loglog.h>
#include <log4cplus/helpers/property.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>

#include <fstream>

#include "kpub/klog.h"
#include "kpub/klog_internal.h"

namespace KPub {

volatile bool isAppenderInit = false;

namespace {

const char kPrefix[] = "klog.";
const char kAppenderPrefix[] = "klog.appender.";
const char kDependencyPrefix[] = "log4cplus.";

bool HasAppenderKey(const log4cplus::helpers::Properties& props) {
  for (const std::string& key : props.propertyNames()) {
    if (key.compare(0, sizeof kAppenderPrefix - 1, kAppenderPrefix) == 0) return true;
  }
  return false;
}

// The dependency's configurator reads its own prefix; ours is renamed to it
// and keys without our prefix are left out.
log4cplus::helpers::Properties RenamePrefix(const log4cplus::helpers::Properties& props) {
  log4cplus::helpers::Properties out;
  for (const std::string& key : props.propertyNames()) {
    if (key.compare(0, sizeof kPrefix - 1, kPrefix) != 0) continue;
    out.setProperty(kDependencyPrefix + key.substr(sizeof kPrefix - 1), props.getProperty(key));
  }
  return out;
}

}  // namespace

std::mutex& ConfigMutex() {
  static std::mutex m;
  return m;
}

void InternalError(const std::string& msg) {
  InitDependency();
  log4cplus::helpers::getLogLog().error(msg);
}

bool ReadProperties(const std::string& file, log4cplus::helpers::Properties& props) {
  std::ifstream in(file.c_str());
  if (!in) return false;
  props = log4cplus::helpers::Properties(in);
  return true;
}

void ConfigureFrom(const log4cplus::helpers::Properties& props) {
  log4cplus::PropertyConfigurator configurator(RenamePrefix(props));
  configurator.configure();
}

void ResetHierarchy() { log4cplus::Logger::getDefaultHierarchy().resetConfiguration(); }

void init() {
  if (isAppenderInit) return;
  InitDependency();
  defaultConsole(INFO);
}

void kLogConfig(const std::string& configfile) {
  if (configfile.empty()) {
    InternalError("kLogConfig() no configfile");
    return;
  }
  log4cplus::helpers::Properties props;
  if (!ReadProperties(configfile, props)) {
    InternalError("kLogConfig() Unable to open file: " + configfile);
    return;
  }
  reConfig(props);
}

void kLogConfig(const ConfigList& mlist) {
  log4cplus::helpers::Properties props;
  for (const auto& kv : mlist) props.setProperty(kv.first, kv.second);
  reConfig(props);
}

bool reConfig(const log4cplus::helpers::Properties& props) {
  InitDependency();
  if (!HasAppenderKey(props)) {
    InternalError("Invalid klog config format");
    return false;
  }
  std::lock_guard<std::mutex> guard(ConfigMutex());
  ResetHierarchy();
  ConfigureFrom(props);
  isAppenderInit = true;
  return true;
}

bool isConfigFile(const std::string& configfile) {
  log4cplus::helpers::Properties props;
  return ReadProperties(configfile, props) && HasAppenderKey(props);
}

ConfigList DefaultConsoleList(int level) {
  ConfigList list;
  std::string root = LevelString(level);
  if (level <= 29999) {
    list.emplace_back("klog.appender.ROOT_INFO", "ConsoleAppender");
    list.emplace_back("klog.appender.ROOT_INFO.ImmediateFlush", "true");
    list.emplace_back("klog.appender.ROOT_INFO.layout", "PatternLayout");
    list.emplace_back("klog.appender.ROOT_INFO.layout.ConversionPattern", "%D [%p] [%c] %m%n");
    list.emplace_back("klog.appender.ROOT_INFO.filters.1", "LogLevelRangeFilter");
    list.emplace_back("klog.appender.ROOT_INFO.filters.1.LogLevelMin", "ALL");
    list.emplace_back("klog.appender.ROOT_INFO.filters.1.LogLevelMax", "WARN");
    list.emplace_back("klog.appender.ROOT_INFO.filters.1.AcceptOnMatch", "true");
    root += ", ROOT_INFO";
  }
  if (level <= 59999) {
    list.emplace_back("klog.appender.ROOT_ERROR", "ConsoleAppender");
    list.emplace_back("klog.appender.ROOT_ERROR.ImmediateFlush", "true");
    list.emplace_back("klog.appender.ROOT_ERROR.logToStdErr", "true");
    list.emplace_back("klog.appender.ROOT_ERROR.layout", "PatternLayout");
    list.emplace_back("klog.appender.ROOT_ERROR.layout.ConversionPattern",
                      "%D [%p] [%c] [%l] %m%n");
    list.emplace_back("klog.appender.ROOT_ERROR.Threshold", "WARN");
    root += ", ROOT_ERROR";
  }
  if (level > 59999) {
    list.emplace_back("klog.appender.ROOT_NULL", "NullAppender");
    root += ", ROOT_NULL";
  }
  list.emplace_back("klog.rootLogger", root);
  return list;
}

void defaultConsole(int level) { kLogConfig(DefaultConsoleList(level)); }

}  // namespace KPub

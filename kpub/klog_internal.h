// Pieces shared by the facade's files: the configuration state, the lock
// that orders configurators, and internal diagnostics.
#ifndef KPUB_KLOG_INTERNAL_H_
#define KPUB_KLOG_INTERNAL_H_

#include <memory>
#include <mutex>
#include <string>

#include "kpub/klog.h"

namespace log4cplus {
namespace helpers {
class Properties;
}
namespace spi {
class AppenderFactory;
}
}  // namespace log4cplus

namespace KPub {

// Set once a configuration is in force; read unguarded (the main thread
// configures before other threads start).
extern volatile bool isAppenderInit;

// Held by every configurator for a reset plus reconfiguration.
std::mutex& ConfigMutex();

// One-time set-up of the dependency: initialisation, the unqualified type
// names and the "klog: " diagnostics prefixes.
void InitDependency();

// Reads `file` as a property file; false when it cannot be opened.
bool ReadProperties(const std::string& file, log4cplus::helpers::Properties& props);

// Configures the hierarchy from the "klog." keys of `props`, without reset.
void ConfigureFrom(const log4cplus::helpers::Properties& props);

void ResetHierarchy();

void InternalError(const std::string& msg);

// Makes the dependency's diagnostics lines carry the "klog: " prefixes.
void InstallDiagnosticsPrefix();

// Registers a further appender type under `name` (used by the additions of
// the logging library).
void RegisterAppenderFactory(std::unique_ptr<log4cplus::spi::AppenderFactory> factory);

// The property list defaultConsole applies for `level`.
ConfigList DefaultConsoleList(int level);

}  // namespace KPub

#endif  // KPUB_KLOG_INTERNAL_H_

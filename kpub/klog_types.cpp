// Registers the appender, layout and filter types under unqualified names,
// and the pattern layout that knows "%P" and the plain "%D"/"%d" dates.
#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/helpers/property.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/nullappender.h>
#include <log4cplus/spi/factory.h>
#include <log4cplus/spi/filter.h>
#include <log4cplus/syslogappender.h>

#include <memory>

#include "kpub/klog_internal.h"

namespace KPub {

namespace {

// "%P" is the process id; "%D" and "%d" without a format are the date and
// time to the second, local and UTC.
std::string RewritePattern(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    out += in[i];
    if (in[i] != '%' || i + 1 >= in.size()) continue;
    size_t j = i + 1;
    while (j < in.size() && (in[j] == '-' || in[j] == '.' || (in[j] >= '0' && in[j] <= '9'))) ++j;
    out.append(in, i + 1, j - i - 1);
    if (j >= in.size()) break;
    char c = in[j];
    if (c == 'P') {
      out += 'i';
    } else {
      out += c;
      if ((c == 'D' || c == 'd') && (j + 1 >= in.size() || in[j + 1] != '{')) {
        out += "{%Y-%m-%d %H:%M:%S}";
      }
    }
    i = j;
  }
  return out;
}

log4cplus::helpers::Properties WithRewrittenPattern(const log4cplus::helpers::Properties& p) {
  log4cplus::helpers::Properties copy(p);
  const char* keys[] = {"ConversionPattern", "Pattern"};
  for (const char* key : keys) {
    if (copy.exists(key)) copy.setProperty(key, RewritePattern(copy.getProperty(key)));
  }
  return copy;
}

class KPatternLayout : public log4cplus::PatternLayout {
 public:
  explicit KPatternLayout(const log4cplus::helpers::Properties& p)
      : log4cplus::PatternLayout(WithRewrittenPattern(p)) {}
};

template <class Product, class Factory, class Registry>
void Register(Registry& reg, const char* name) {
  reg.put(std::unique_ptr<Factory>(new log4cplus::spi::FactoryTempl<Product, Factory>(name)));
}

void RegisterTypes() {
  using log4cplus::spi::AppenderFactory;
  using log4cplus::spi::FilterFactory;
  using log4cplus::spi::LayoutFactory;
  auto& appenders = log4cplus::spi::getAppenderFactoryRegistry();
  Register<log4cplus::ConsoleAppender, AppenderFactory>(appenders, "ConsoleAppender");
  Register<log4cplus::NullAppender, AppenderFactory>(appenders, "NullAppender");
  Register<log4cplus::FileAppender, AppenderFactory>(appenders, "FileAppender");
  Register<log4cplus::RollingFileAppender, AppenderFactory>(appenders, "RollingFileAppender");
  Register<log4cplus::DailyRollingFileAppender, AppenderFactory>(appenders,
                                                                 "DailyRollingFileAppender1");
  Register<log4cplus::SysLogAppender, AppenderFactory>(appenders, "SysLogAppender");

  auto& layouts = log4cplus::spi::getLayoutFactoryRegistry();
  Register<log4cplus::SimpleLayout, LayoutFactory>(layouts, "SimpleLayout");
  Register<log4cplus::TTCCLayout, LayoutFactory>(layouts, "TTCCLayout");
  Register<KPatternLayout, LayoutFactory>(layouts, "PatternLayout");

  auto& filters = log4cplus::spi::getFilterFactoryRegistry();
  Register<log4cplus::spi::DenyAllFilter, FilterFactory>(filters, "DenyAllFilter");
  Register<log4cplus::spi::LogLevelMatchFilter, FilterFactory>(filters, "LogLevelMatchFilter");
  Register<log4cplus::spi::LogLevelRangeFilter, FilterFactory>(filters, "LogLevelRangeFilter");
  Register<log4cplus::spi::StringMatchFilter, FilterFactory>(filters, "StringMatchFilter");
}

}  // namespace

void InitDependency() {
  static std::once_flag once;
  std::call_once(once, [] {
    log4cplus::initialize();
    RegisterTypes();
    InstallDiagnosticsPrefix();
  });
}

void RegisterAppenderFactory(std::unique_ptr<log4cplus::spi::AppenderFactory> factory) {
  InitDependency();
  log4cplus::spi::getAppenderFactoryRegistry().put(std::move(factory));
}

}  // namespace KPub

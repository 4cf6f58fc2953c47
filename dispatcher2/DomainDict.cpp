#include "dispatcher2/DomainDict.h"

#include <fstream>

namespace spider {

DomainDict& DomainDict::Instance() {
  static DomainDict dict;
  return dict;
}

bool DomainDict::Load(const std::string& path) {
  KPub::scopelock<KPub::kMutex> guard(m_mutex);
  m_rules.clear();
  m_wildcards.clear();
  m_exceptions.clear();
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    // A rule ends at the first white space; the rest of the line is ignored.
    size_t end = line.find_first_of(" \t\r");
    if (end != std::string::npos) line.erase(end);
    if (line.empty() || line.compare(0, 2, "//") == 0) continue;
    AddRule(line);
  }
  return !m_rules.empty() || !m_wildcards.empty() || !m_exceptions.empty();
}

void DomainDict::AddRule(const std::string& rule) {
  if (rule[0] == '!') {
    m_exceptions.insert(rule.substr(1));
  } else if (rule.compare(0, 2, "*.") == 0) {
    m_wildcards.insert(rule.substr(2));
  } else {
    m_rules.insert(rule);
  }
}

size_t DomainDict::RuleCount() {
  KPub::scopelock<KPub::kMutex> guard(m_mutex);
  return m_rules.size() + m_wildcards.size() + m_exceptions.size();
}

}  // namespace spider

// Public-suffix dictionary behind the key-based server choice: one rule per
// line, "//" comments, "*." wildcard and "!" exception rules. One process-wide
// instance; Load holds m_mutex, so concurrent pools may share it.
#ifndef DISPATCHER2_DOMAINDICT_H_
#define DISPATCHER2_DOMAINDICT_H_

#include <string>
#include <unordered_set>

#include "kpub/threadlock.h"

namespace spider {

class DomainDict {
 public:
  static DomainDict& Instance();

  // Replaces the rules with those of `path`; false when the file cannot be
  // opened or holds no rule (the rules are then left empty).
  bool Load(const std::string& path);
  size_t RuleCount();

 private:
  DomainDict() = default;
  void AddRule(const std::string& rule);

  KPub::kMutex m_mutex;
  std::unordered_set<std::string> m_rules;       // guarded by m_mutex
  std::unordered_set<std::string> m_wildcards;   // guarded by m_mutex, "*." removed
  std::unordered_set<std::string> m_exceptions;  // guarded by m_mutex, "!" removed
};

}  // namespace spider

#endif  // DISPATCHER2_DOMAINDICT_H_

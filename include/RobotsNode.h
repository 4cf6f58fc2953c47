// Robots verdict and the per-download-thread hand-over slot the robots thread
// writes it into. The robots thread writes m_robots and then sets m_done
// (release); the owning thread reads m_robots only after seeing m_done set.
#ifndef CRAWLER_ROBOTSNODE_H_
#define CRAWLER_ROBOTSNODE_H_

#include <atomic>
#include <string>

struct ROBOTS {
  std::string robots;  // the forbidding Disallow rule, or a rule's pattern
  bool permit = false;
  bool cache = false;
};

struct RobotsNode {
  std::string m_url;
  ROBOTS m_robots;
  std::atomic<bool> m_done{false};
};

#endif  // CRAWLER_ROBOTSNODE_H_

#include "RobotsT.h"

RobotsT* g_pRobotsT = nullptr;

RobotsT::RobotsT() : Thread("", 0), m_permit(false), m_bexit(false) {
  pthread_mutex_init(&m_mutex, nullptr);
  pthread_cond_init(&m_cond, nullptr);
}

RobotsT::~RobotsT() {
  pthread_cond_destroy(&m_cond);
  pthread_mutex_destroy(&m_mutex);
}

int RobotsT::Init(std::string server, unsigned int port, bool permit) {
  m_permit = permit;
  return (server.empty() || port == 0) ? 2 : 0;
}

void RobotsT::run() {
  pthread_mutex_lock(&m_mutex);
  while (!m_bexit) pthread_cond_wait(&m_cond, &m_mutex);
  pthread_mutex_unlock(&m_mutex);
}

void RobotsT::ThreadExit() {
  pthread_mutex_lock(&m_mutex);
  m_bexit = true;
  pthread_cond_signal(&m_cond);
  pthread_mutex_unlock(&m_mutex);
  join();
}

// The thread's loop: take pending items into free handles, then drive the
// transfers from the epoll set until a handle is free again.
#include <errno.h>
#include <strings.h>
#include <unistd.h>

#include "CommonDnsFail.h"
#include "DownLoadThread.h"
#include "IpLruQueue.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "url_util.h"

namespace {

const char kLogger[] = "search.download";
constexpr useconds_t kIdleSleepMicros = 1000;
constexpr int kBusyWaitMillis = 1000;
constexpr int kNoIpErrno = -4;

uint32_t EpollEvents(int what) {
  switch (what) {
    case CURL_POLL_IN:
      return EPOLLIN;
    case CURL_POLL_OUT:
      return EPOLLOUT;
    case CURL_POLL_INOUT:
      return EPOLLIN | EPOLLOUT;
    default:
      return 0;
  }
}

int ActionMask(uint32_t events) {
  int mask = 0;
  if (events & EPOLLIN) mask |= CURL_CSELECT_IN;
  if (events & EPOLLOUT) mask |= CURL_CSELECT_OUT;
  return mask;
}

}  // namespace

// libcurl starts a newly attached handle, and runs its own time-outs, only
// from a timeout action. Waiting the full second in epoll before that would
// stall every transfer added while all slots are busy or nothing is pending,
// so the wait is cut short to when libcurl asked to be called.
int DownLoadThread::multi_timer_cb(CURLM*, long timeout_ms, void* userp) {
  DownLoadThread* self = static_cast<DownLoadThread*>(userp);
  self->m_lTimerDue =
      timeout_ms < 0 ? 0 : TimeInMicroseconds() + static_cast<unsigned long>(timeout_ms) * 1000;
  return 0;
}

// Without the run flag the pending queue is not served any more, so waiting
// for it would only spin while the last transfers drain.
int DownLoadThread::WaitMillis() {
  bool work = m_downloading_cnt < m_parallel && !g_PendingList.Empty() && g_bLoadThreadRun;
  int wait = work ? 0 : kBusyWaitMillis;
  if (m_lTimerDue == 0 || wait == 0) return wait;
  unsigned long now = TimeInMicroseconds();
  if (m_lTimerDue <= now) return 0;
  unsigned long due = (m_lTimerDue - now + 999) / 1000;
  return due < static_cast<unsigned long>(wait) ? static_cast<int>(due) : wait;
}

int DownLoadThread::multi_sock_cb(CURL* easy, curl_socket_t s, int what, void* userp,
                                  void* socketp) {
  DownLoadThread* self = static_cast<DownLoadThread*>(userp);
  if (what == CURL_POLL_REMOVE) {
    epoll_ctl(self->m_epoll_fd, EPOLL_CTL_DEL, s, nullptr);
    curl_multi_assign(self->m_multi_curl, s, nullptr);
    return 0;
  }
  if (socketp == nullptr) {
    RetData* data = self->GetDoingData(easy);
    if (data == nullptr) {
      epoll_ctl(self->m_epoll_fd, EPOLL_CTL_DEL, s, nullptr);
      curl_multi_assign(self->m_multi_curl, s, nullptr);
      KLOG(kLogger, KPub::INFO, "EPOLL_CTL_DEL %d", s);
      return 0;
    }
    curl_multi_assign(self->m_multi_curl, s, data);
  }
  self->SetSocketEvents(s, what, socketp);
  return 0;
}

// A socket libcurl hands over again after it left the set (a reused
// connection) may still be registered; modifying it keeps its events.
void DownLoadThread::SetSocketEvents(curl_socket_t s, int what, void* socketp) {
  epoll_event ev;
  ev.events = EpollEvents(what);
  ev.data.fd = s;
  int op = socketp != nullptr ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
  if (epoll_ctl(m_epoll_fd, op, s, &ev) == 0) return;
  if (op == EPOLL_CTL_ADD && errno == EEXIST) {
    epoll_ctl(m_epoll_fd, EPOLL_CTL_MOD, s, &ev);
  } else if (op == EPOLL_CTL_MOD && errno == ENOENT) {
    epoll_ctl(m_epoll_fd, EPOLL_CTL_ADD, s, &ev);
  }
}

bool DownLoadThread::SetMultiOpt() {
  curl_multi_setopt(m_multi_curl, CURLMOPT_SOCKETFUNCTION, multi_sock_cb);
  curl_multi_setopt(m_multi_curl, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(m_multi_curl, CURLMOPT_TIMERFUNCTION, multi_timer_cb);
  curl_multi_setopt(m_multi_curl, CURLMOPT_TIMERDATA, this);
  return true;
}

void DownLoadThread::CheckMultiInfo() {
  int left = 0;
  CURLMsg* msg;
  while ((msg = curl_multi_info_read(m_multi_curl, &left)) != nullptr) {
    if (msg->msg == CURLMSG_DONE) HandleMsg(msg);
  }
}

void DownLoadThread::run() {
  m_downloading_cnt = 0;
  while (g_bLoadThreadRun || m_downloading_cnt != 0) {
    IntakePhase();
    DrivePhase();
  }
  KLOG(kLogger, KPub::INFO, "%s: exit", getName());
}

void DownLoadThread::IntakePhase() {
  while (g_bLoadThreadRun) {
    int no = -1;
    if (m_done_map.empty() || !g_PendingList.Pop(no)) {
      usleep(kIdleSleepMicros);
      return;
    }
    if (StartItem(no)) {
      ++m_downloading_cnt;
      continue;
    }
    if (m_downloading_cnt != 0) return;
  }
}

// True when a transfer was started for the item; otherwise the item went to
// the waiting queue, the done queue, or was dropped.
bool DownLoadThread::StartItem(int iMemNo) {
  tagURL_ITEM* item = static_cast<tagURL_ITEM*>(g_pUrlMem->GetItem(static_cast<dword>(iMemNo)));
  if (item == nullptr) {
    KLOG(kLogger, KPub::ERROR, "g_pUrlMem GetItem fail. iMemNo=[%d]", iMemNo);
    return false;
  }
  tagURL_PARSE url;
  parse_url(item->m_strUrl.c_str(), url);
  item->m_strHost = url.m_hostname;
  if (item->m_iIP == -1 && !item->m_bIpNoReplace) {
    int ip = 0;
    if (!g_IpLruQueue.Find(item->m_strHost, ip, 0)) {
      g_WaitingList.AddTail(iMemNo);
      return false;
    }
    item->m_iIP = ip;
  }
  if (item->m_iIP == 0 && !item->m_bIpNoReplace) {
    WriteCommonDnsFail(item, kNoIpErrno);
    FreeDowningRes(item, nullptr, false);
    return false;
  }
  void* curl = nullptr;
  RetData* data = nullptr;
  if (!PrepareRecord(item, curl, data) ||
      !InitDownloadOpt(curl, data->m_pszLastUrl, item->m_iIP, true, data->m_pszLastUrl) ||
      !ActiveCurl(curl, data)) {
    FreeDowningRes(item, curl, false);
    return false;
  }
  return true;
}

bool DownLoadThread::PrepareRecord(tagURL_ITEM* item, void*& curl, RetData*& data) {
  if (!GetDoneCurl(&curl, &data) || !Add2DoingCurl(curl, data) || !data->Init()) return false;
  data->m_pstUrlItem = item;
  data->m_iLastIP = item->m_iIP;
  data->m_iRobotsFlag = strcasecmp(item->m_strDataType.c_str(), "robots") == 0;
  strlcpy(data->m_pszOutPutUrl, item->m_strUrl.c_str(), kUrlBufferSize);
  strlcpy(data->m_pszLastUrl, item->m_strUrl.c_str(), kUrlBufferSize);
  return true;
}

void DownLoadThread::DrivePhase() {
  while (m_downloading_cnt > 0) {
    int n = epoll_wait(m_epoll_fd, m_epoll_event, m_parallel, WaitMillis());
    int running = 0;
    if (n == 0) {
      curl_multi_socket_action(m_multi_curl, CURL_SOCKET_TIMEOUT, 0, &running);
      CheckMultiInfo();
    }
    for (int i = 0; i < n; ++i) {
      curl_multi_socket_action(m_multi_curl, m_epoll_event[i].data.fd,
                               ActionMask(m_epoll_event[i].events), &running);
      CheckMultiInfo();
    }
    if (m_downloading_cnt != m_parallel) return;
  }
}

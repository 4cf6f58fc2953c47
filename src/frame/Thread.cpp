#include "Thread.h"

#include <errno.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kpub/klog.h"

dword_q Thread::dwCounter;

namespace {

inline void CpuPause() { __asm__ __volatile__("pause" ::: "memory"); }

const char kLogger[] = "search.thread";
constexpr size_t kNameBuffer = 64;

}  // namespace

void ReadLock(RwLock_t* rw) {
  for (;;) {
    if (static_cast<int32_t>(__sync_sub_and_fetch(&rw->lock, 1)) >= 0) return;
    __sync_add_and_fetch(&rw->lock, 1);
    while (static_cast<int32_t>(rw->lock) < 1) CpuPause();
  }
}

void ReadUnlock(RwLock_t* rw) { __sync_add_and_fetch(&rw->lock, 1); }

void WriteLock(RwLock_t* rw) {
  for (;;) {
    if (__sync_sub_and_fetch(&rw->lock, RW_LOCK_BIAS) == 0) return;
    __sync_add_and_fetch(&rw->lock, RW_LOCK_BIAS);
    while (rw->lock != RW_LOCK_BIAS) CpuPause();
  }
}

void WriteUnlock(RwLock_t* rw) { __sync_add_and_fetch(&rw->lock, RW_LOCK_BIAS); }

void SetStat(THREAD_STATE& mState, THREAD_STATE stat, RwLock_t* rw) {
  WriteLock(rw);
  mState = stat;
  WriteUnlock(rw);
}

THREAD_STATE GetStat(THREAD_STATE mState, RwLock_t* rw) {
  ReadLock(rw);
  THREAD_STATE s = mState;
  ReadUnlock(rw);
  return s;
}

Thread::Thread(const char* pszName, unsigned long stackSize) : handle(nullptr) {
  if (!Create(nullptr, pszName, stackSize)) throw errno;
}

Thread::Thread(iRunnable* target, const char* pszName, unsigned long stackSize)
    : handle(nullptr) {
  if (!Create(target, pszName, stackSize)) throw errno;
}

Thread::~Thread() {
  if (handle == nullptr) return;
  if (state() == T_RUN) interrupt();
  free(handle->pName);
  pthread_attr_destroy(&handle->attr);
  free(handle);
}

bool Thread::Create(iRunnable* target, const char* pszName, unsigned long stackSize) {
  handle = static_cast<THREAD_INFO*>(calloc(1, sizeof(THREAD_INFO)));
  if (handle == nullptr) {
    KLOG_ERRNO(kLogger, KPub::ERROR, errno, "malloc failed.");
    return false;
  }
  handle->target = target;
  handle->pName = pszName != nullptr ? strdup(pszName) : nullptr;
  handle->stackSize = stackSize;
  handle->mState = T_NEW;
  handle->tid = 0;
  handle->NameLock.lock = RW_LOCK_BIAS;
  handle->StatLock.lock = RW_LOCK_BIAS;
  pthread_attr_init(&handle->attr);
  if (stackSize != 0) pthread_attr_setstacksize(&handle->attr, stackSize);
  struct sched_param param;
  pthread_attr_getschedparam(&handle->attr, &param);
  handle->__sched_priority = param.sched_priority;
  pthread_attr_getschedpolicy(&handle->attr, &handle->policy);
  return true;
}

THREAD_STATE Thread::state() { return GetStat(handle->mState, &handle->StatLock); }

void Thread::start() {
  if (state() != T_NEW) return;
  // The state is T_RUN before the body can end and set T_DEAD.
  SetStat(handle->mState, T_RUN, &handle->StatLock);
  ++dwCounter;
  // The handle is stored before the new thread runs, so the body may use it.
  if (pthread_create(&handle->tid, &handle->attr, &Thread::entry, this) != 0) {
    handle->tid = 0;
    --dwCounter;
    SetStat(handle->mState, T_NEW, &handle->StatLock);
    KLOG(kLogger, KPub::ERROR, "pthread_create error");
  }
}

void Thread::onExit(void* arg) {
  Thread* self = static_cast<Thread*>(arg);
  SetStat(self->handle->mState, T_DEAD, &self->handle->StatLock);
  --dwCounter;
}

void* Thread::entry(void* arg) {
  Thread* self = static_cast<Thread*>(arg);
  pthread_cleanup_push(&Thread::onExit, self);
  pthread_testcancel();
  sched_yield();
  if (self->handle->target != nullptr) {
    self->handle->target->run();
  } else {
    self->run();
  }
  pthread_cleanup_pop(1);
  return nullptr;
}

void Thread::join() {
  if (state() == T_NEW) return;
  pthread_t tid = handle->tid;
  if (pthread_equal(tid, pthread_self())) return;
  pthread_join(tid, nullptr);
  SetStat(handle->mState, T_NEW, &handle->StatLock);
}

void Thread::interrupt() {
  if (state() == T_RUN) {
    if (pthread_equal(handle->tid, pthread_self())) return;
    pthread_cancel(handle->tid);
    sched_yield();
  }
  join();
}

char* Thread::getName() {
  static char name[kNameBuffer];
  ReadLock(&handle->NameLock);
  if (handle->pName != nullptr && handle->pName[0] != '\0') {
    snprintf(name, sizeof name, "%s", handle->pName);
  } else {
    snprintf(name, sizeof name, "Thread_%lu", static_cast<unsigned long>(handle->tid));
  }
  ReadUnlock(&handle->NameLock);
  return name;
}

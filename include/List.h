// Locked singly linked FIFO. Every change holds m_Mutex; Size and Empty read
// the counter without it and may be stale.
#ifndef CRAWLER_LIST_H_
#define CRAWLER_LIST_H_

#include <new>

#include "kpub/threadlock.h"

template <class T>
struct ListNode {
  T data;
  ListNode* next;
};

template <class T>
class List {
 public:
  List() : m_head(nullptr), m_tail(nullptr), m_Mutex(false), m_count(0) {}
  ~List() {
    ListNode<T>* n = m_head;
    while (n != nullptr) {
      ListNode<T>* next = n->next;
      delete n;
      n = next;
    }
    Free();
  }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  bool AddTail(T d) {
    ListNode<T>* n = new (std::nothrow) ListNode<T>;
    if (n == nullptr) return false;
    n->data = d;
    n->next = nullptr;
    KPub::scopelock<KPub::kMutex> guard(m_Mutex);
    if (m_tail == nullptr) {
      m_head = m_tail = n;
    } else {
      m_tail->next = n;
      m_tail = n;
    }
    ++m_count;
    return true;
  }

  bool Pop(T& d) {
    ListNode<T>* n;
    {
      KPub::scopelock<KPub::kMutex> guard(m_Mutex);
      n = m_head;
      if (n == nullptr) return false;
      m_head = n->next;
      if (m_head == nullptr) m_tail = nullptr;
      --m_count;
    }
    d = n->data;
    delete n;
    return true;
  }

  // Moves all nodes of `list` to the end of this one. Locks this list first.
  bool Merger(List<T>& list) {
    KPub::scopelock<KPub::kMutex> mine(m_Mutex);
    KPub::scopelock<KPub::kMutex> theirs(list.m_Mutex);
    if (list.m_head == nullptr) return true;
    if (m_tail == nullptr) {
      m_head = list.m_head;
    } else {
      m_tail->next = list.m_head;
    }
    m_tail = list.m_tail;
    m_count += list.m_count;
    list.FreeWithNonLock();
    return true;
  }

  unsigned long Size() const { return m_count; }
  bool Empty() const { return m_count == 0; }

  // Forgets all nodes without releasing them.
  void Free() {
    KPub::scopelock<KPub::kMutex> guard(m_Mutex);
    FreeWithNonLock();
  }
  void FreeWithNonLock() {
    m_head = m_tail = nullptr;
    m_count = 0;
  }

 private:
  ListNode<T>* m_head;
  ListNode<T>* m_tail;
  KPub::kMutex m_Mutex;
  volatile unsigned long m_count;
};

#endif  // CRAWLER_LIST_H_

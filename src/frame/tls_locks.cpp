#include "tls_locks.h"

#include <openssl/crypto.h>
#include <pthread.h>

// Since OpenSSL 1.1 the library locks internally: CRYPTO_num_locks() is 1 and
// the two setters below expand to nothing, so the table and callbacks stay
// unused. The call is kept so that linking an older library stays safe.
namespace {

pthread_mutex_t* g_lockArray = nullptr;

[[maybe_unused]] unsigned long thread_id() {
  return static_cast<unsigned long>(pthread_self());
}

[[maybe_unused]] void lock_callback(int mode, int type, const char*, int) {
  if (mode & CRYPTO_LOCK) {
    pthread_mutex_lock(&g_lockArray[type]);
  } else {
    pthread_mutex_unlock(&g_lockArray[type]);
  }
}

}  // namespace

void init_locks() {
  int n = CRYPTO_num_locks();
  g_lockArray = static_cast<pthread_mutex_t*>(OPENSSL_malloc(n * sizeof(pthread_mutex_t)));
  for (int i = 0; i < n; ++i) pthread_mutex_init(&g_lockArray[i], nullptr);
  CRYPTO_set_id_callback(thread_id);
  CRYPTO_set_locking_callback(lock_callback);
}

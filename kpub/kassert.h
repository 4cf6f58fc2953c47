// Checks of internal invariants that stay on in every build: a failure is a
// programming error, reported with its expression and location, and aborts.
#ifndef KPUB_KASSERT_H_
#define KPUB_KASSERT_H_

namespace KPub {
[[noreturn]] void AssertFail(const char* expr, const char* file, int line);
}

#define K_ASSERT(expr) ((expr) ? (void)0 : KPub::AssertFail(#expr, __FILE__, __LINE__))

#endif  // KPUB_KASSERT_H_

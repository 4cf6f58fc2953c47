// Tri-state result shared by the resolver and the download engine: nothing
// found, found by the DNS cache service, or found elsewhere / nothing to do.
// A plain value type.
#ifndef CRAWLER_BOOL_H_
#define CRAWLER_BOOL_H_

enum Bool { False = 0, True = 1, Nul = -1 };

#endif  // CRAWLER_BOOL_H_

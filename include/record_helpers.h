// The pieces result records are made of: quoting, base64, compression, text
// byte tests and the failure record of items that never reach a transfer.
// All reentrant; see each header for its contract.
#ifndef CRAWLER_RECORD_HELPERS_H_
#define CRAWLER_RECORD_HELPERS_H_

#include "CommonDnsFail.h"
#include "json_quote.h"
#include "kbase64.h"
#include "kcompress.h"
#include "text_judge.h"

#endif  // CRAWLER_RECORD_HELPERS_H_

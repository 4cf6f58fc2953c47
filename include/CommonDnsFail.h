// Failure records of an item that ends without a transfer (host without
// address, over-long URL): one result record and two audit lines.
// Reentrant: touches only the item, which the caller owns, and the logger.
#ifndef CRAWLER_COMMONDNSFAIL_H_
#define CRAWLER_COMMONDNSFAIL_H_

#include "url_item.h"

// Sets the item's m_iDownLoadTime to now and writes its records with `iErrno`.
void WriteCommonDnsFail(tagURL_ITEM* pItem, int iErrno);

#endif  // CRAWLER_COMMONDNSFAIL_H_

// Normalises 16-bit Unicode text in place: folds whitespace runs, maps
// traditional Chinese to simplified and full-width ASCII forms to ASCII.
// Pure function on the caller's buffer; any thread.
#ifndef HTMLCHARSET_TRADMAP_H_
#define HTMLCHARSET_TRADMAP_H_

#include <stdint.h>

// Runs of blanks, tabs and U+3000 become one blank and runs holding a line
// break one line feed, written only before the next other unit (a final
// pending line break is kept); other units go through the normalisation
// table. Returns the new count.
int tradmap(uint16_t* units, int n);

#endif  // HTMLCHARSET_TRADMAP_H_

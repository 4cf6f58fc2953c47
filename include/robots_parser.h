// robots.txt rules for one spider name: the Disallow and the Allow values of the group that
// applies to it, each list joined with "|". The text is untrusted network input: no scan reads
// past the given length or the first zero byte. No shared state; callable from any thread.
#ifndef CRAWLER_ROBOTS_PARSER_H_
#define CRAWLER_ROBOTS_PARSER_H_

#include <stddef.h>

#include <string>

// Longest robots.txt text looked at; a longer file is cut there.
constexpr size_t kRobotsTextMax = 524287;

// Scanner state shared by parse_robots and parseRobots.
enum RobotsState {
  ROBOTS_IGNORE = 0,     // the current group is for someone else
  ROBOTS_COLLECT = 1,    // the "*" group, or rules ahead of any User-agent line
  ROBOTS_OWN_GROUP = 2,  // the group names the spider; the next User-agent line ends the scan
};

// Overwrites strDisallow and strAllow with the rules for pszUserAgent found in the nPageLen bytes
// at pszPage (the text ends sooner at a zero byte). When those rules shut the spider out of the
// whole site and no group names it, the rules of the first well-known crawler that is not shut
// out are taken instead. pszPage is not modified.
void parse_robots(const char* pszUserAgent, const char* pszPage, size_t nPageLen,
                  std::string& strDisallow, std::string& strAllow);
// The same for a zero-terminated text.
void parse_robots(const char* pszUserAgent, const char* pszPage, std::string& strDisallow,
                  std::string& strAllow);

// One scan of a writable zero-terminated text for one name, cutting it into pieces in place.
// Appends to the lists; `state` is the starting state and is left as the scan ended it.
void parseRobots(const char* pszUserAgent, char* pszPage, std::string& strDisallow,
                 std::string& strAllow, int& state);

// Next token of the zero-terminated writable text at *posParse: separators (c, blank, TAB, CR,
// LF) and "#" comments are skipped, a double-quoted token runs to the closing quote. The byte
// that ends the token becomes a zero and *posParse moves past it, never past the terminator.
// Null when no token is left.
char* nextToken(char** posParse, char c);
// Rest of the line at *posParse as a value (up to CR, LF or "#"), trimmed of blanks and TABs;
// possibly empty, never null. Cuts and advances like nextToken.
char* getEndStr(char** posParse);

// True when a occurs in b, ignoring ASCII case; an empty a occurs everywhere.
bool caseContain(const char* a, const char* b);
// Copies pInput to pOutput (nOutSize bytes, always terminated when nOutSize > 0) with every
// occurrence of pSrc replaced by pDst. False when the result had to be cut to fit.
bool substitute(const char* pInput, char* pOutput, size_t nOutSize, const char* pSrc,
                const char* pDst);

#endif  // CRAWLER_ROBOTS_PARSER_H_

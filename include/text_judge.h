// Byte tests on page text used by the charset judgement. Pure; reentrant.
#ifndef CRAWLER_TEXT_JUDGE_H_
#define CRAWLER_TEXT_JUDGE_H_

// True when no byte before the terminating zero has its high bit set.
bool JudgeAscii(const char* text);
// True when the text opens with the UTF-16 little-endian byte-order mark
// FF FE; at least two bytes must be readable.
bool JudgeUnicode(const char* text);

#endif  // CRAWLER_TEXT_JUDGE_H_

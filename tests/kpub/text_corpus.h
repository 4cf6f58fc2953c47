// Sample paragraphs (UTF-8) and an iconv helper that makes the encoded
// detection corpus at test time.
#ifndef TESTS_KPUB_TEXT_CORPUS_H_
#define TESTS_KPUB_TEXT_CORPUS_H_

#include <string>
#include <vector>

namespace corpus {

// The same paragraphs in simplified and in traditional characters.
const std::vector<std::string>& Simplified();
const std::vector<std::string>& Traditional();
const std::string& Japanese();
const std::string& Korean();
const std::string& Russian();
const std::string& French();

// `text` converted with iconv; fails the current test and returns "" when
// iconv rejects it.
std::string Iconv(const std::string& from, const std::string& to, const std::string& text);

// `body` inside a small ASCII page, with `head` (e.g. a meta tag) in <head>.
std::string Page(const std::string& head, const std::string& body);

}  // namespace corpus

#endif  // TESTS_KPUB_TEXT_CORPUS_H_

// Text encoding throughput on one core: detect_encoding over 100 KB pages
// (GB18030, Big5, UTF-8) and html_process over a 1 MB UTF-16LE page.
// Usage: encoding_bench [rounds]
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "htmlcharset/html_process.h"
#include "kpub/encdetect.h"
#include "tests/kpub/text_corpus.h"

namespace {

constexpr size_t kDetectPage = 100 * 1024;
constexpr size_t kProcessPage = 1024 * 1024;
// The program's html_process buffers.
constexpr int kProcessBuffer = 4194304;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// `body` repeated inside one page until it holds at least `size` bytes.
std::string PageOf(const std::string& body, size_t size) {
  std::string text;
  while (text.size() < size) text += body + "\n";
  return corpus::Page("", text);
}

std::string Joined(const std::vector<std::string>& paragraphs) {
  std::string all;
  for (const std::string& p : paragraphs) all += p;
  return all;
}

void DetectRate(const char* label, const std::string& page, int rounds) {
  auto start = std::chrono::steady_clock::now();
  int hits = 0;
  for (int i = 0; i < rounds; ++i) hits += KPub::detect_encoding(page) != KPub::OTHER;
  double s = Seconds(start);
  printf("detect_encoding %-8s %7.1f MB/s (%d pages of %zu bytes, %d detected)\n", label,
         page.size() * static_cast<double>(rounds) / s / 1e6, rounds, page.size(), hits);
}

void ProcessRate(int rounds) {
  const std::string utf8 =
      PageOf(Joined(corpus::Traditional()) + " &#20013; ＡＢＣ",
             kProcessPage * 3 / 2);  // UTF-16 takes 2 bytes where UTF-8 takes 3
  const std::string page = "\xFF\xFE" + corpus::Iconv("UTF-8", "UTF-16LE", utf8);
  std::vector<char> out(kProcessBuffer);
  std::vector<uint16_t> work(kProcessBuffer);
  auto start = std::chrono::steady_clock::now();
  long bytes = 0;
  for (int i = 0; i < rounds; ++i) {
    bytes += html_process(page.data(), page.size(), out.data(), out.size(), work.data(),
                          work.size(), 0, nullptr, nullptr);
  }
  double s = Seconds(start);
  printf("html_process utf-16le %7.1f MB/s (%d pages of %zu bytes, %ld bytes out)\n",
         page.size() * static_cast<double>(rounds) / s / 1e6, rounds, page.size(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 200;
  if (rounds <= 0) rounds = 1;
  const std::string simp = Joined(corpus::Simplified());
  DetectRate("gb18030", PageOf(corpus::Iconv("UTF-8", "GB18030", simp), kDetectPage), rounds * 50);
  DetectRate("big5",
             PageOf(corpus::Iconv("UTF-8", "BIG5", Joined(corpus::Traditional())), kDetectPage),
             rounds * 50);
  DetectRate("utf-8", PageOf(simp, kDetectPage), rounds * 50);
  ProcessRate(rounds / 10 + 1);
  return 0;
}

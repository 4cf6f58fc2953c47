// A document page of the document site end to end: the page names its
// document, the SWF document is fetched on the same handle, and the record
// carries the page with the document's text inserted. Document page URLs
// have no port, so the origin must listen on port 80 of the loopback
// address; the test is skipped where that port is taken.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "SwfWriter.h"
#include "crawl_run.h"
#include "record_file.h"

namespace e2e {

namespace {

constexpr int kHttpPort = 80;
constexpr int kCrawlMs = 90000;
const char kHosts[] = "127.0.0.1 docs.site.test\n";
const char kPageUrl[] = "http://docs.site.test/view/abc123.html";
const char kIni[] =
    "[download]\ndoc_site_host = docs.site.test\ndoc_service_base = http://docs.site.test/play\n";
const char kDocText[] = "Hello from the document";

bool PortFree(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

TEST(SwfDocumentPage, DocumentTextIsInsertedIntoThePage) {
  if (!PortFree(kHttpPort)) GTEST_SKIP() << "port 80 of 127.0.0.1 is taken";
  const std::string page =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
      "</head><body><input name=\"doc_id\" value=\"abc123\">"
      "<div id=\"doc_reader\">[end]</div></body></html>";
  const std::string document =
      "{\"totalPage\":1} " + SwfFileBytes(TextDocumentTags(kDocText), false);
  const Routes routes = {
      {"/view/abc123.html", {{"body", page}}},
      {"/play/abc123", {{"body", document}, {"ctype", "application/octet-stream"}}},
  };
  CrawlRun run(kHttpPort);
  ASSERT_TRUE(run.Start(kHosts, "", routes, std::string(kPageUrl) + "\n", kIni));
  ASSERT_TRUE(run.WaitFinished(1, kCrawlMs)) << run.Messages();

  std::vector<Record> records = RecordsOf(ParseRecords(run.Records()), kPageUrl);
  ASSERT_EQ(1u, records.size()) << run.Records();
  EXPECT_EQ("0", records[0].Field("errno"));
  std::string composed = records[0].Page();
  EXPECT_NE(std::string::npos, composed.find(kDocText)) << composed;
  EXPECT_NE(std::string::npos, composed.find("[end]")) << composed;
  EXPECT_NE(std::string::npos, run.Requests().find("/play/abc123?pn=1&rn=2")) << run.Requests();
}

}  // namespace

}  // namespace e2e

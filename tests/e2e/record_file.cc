#include "record_file.h"

#include <stdlib.h>

#include "record_bytes.h"

namespace e2e {

using testsupport::Base64Decode;
using testsupport::Inflate;

namespace {

// Decodes the JSON string starting at text[at] (the opening quote).
std::string JsonString(const std::string& text, size_t at) {
  std::string out;
  for (size_t i = at + 1; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char e = text[++i];
    if (e == 'u' && i + 4 < text.size()) {
      out += static_cast<char>(strtol(text.substr(i + 1, 4).c_str(), nullptr, 16));
      i += 4;
    } else {
      out += e == 'n'   ? '\n'
             : e == 'r' ? '\r'
             : e == 't' ? '\t'
             : e == 'b' ? '\b'
             : e == 'f' ? '\f'
                        : e;
    }
  }
  return out;
}

}  // namespace

bool Record::Has(const std::string& name) const {
  return json.find("\"" + name + "\": ") != std::string::npos;
}

std::string Record::Field(const std::string& name) const {
  const std::string key = "\"" + name + "\": ";
  size_t at = json.find(key);
  if (at == std::string::npos) return std::string();
  at += key.size();
  if (at < json.size() && json[at] == '"') return JsonString(json, at);
  size_t end = json.find_first_of(",}", at);
  return json.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string Record::Page() const {
  bool ok = false;
  std::string zipped = Base64Decode(Field("content"), ok);
  std::string page;
  if (!ok || !Inflate(zipped, page)) return "<bad content>";
  return page;
}

std::vector<Record> ParseRecords(const std::string& text) {
  const std::string lead = "\toutput\tscribe\t";
  std::vector<Record> records;
  for (const std::string& line : Lines(text)) {
    if (line.compare(0, lead.size(), lead) != 0) continue;
    size_t tab = line.find('\t', lead.size());
    if (tab == std::string::npos) continue;
    records.push_back({line.substr(lead.size(), tab - lead.size()), line.substr(tab + 1)});
  }
  return records;
}

std::vector<Record> RecordsOf(const std::vector<Record>& records, const std::string& url) {
  std::vector<Record> picked;
  for (const Record& r : records) {
    if (r.Field("url") == url) picked.push_back(r);
  }
  return picked;
}

std::string AuditField(const std::string& line, const std::string& name) {
  const std::string key = "\t" + name + ":";
  size_t at = line.find(key);
  if (at == std::string::npos) return std::string();
  at += key.size();
  return line.substr(at, line.find('\t', at) - at);
}

std::vector<std::string> AuditLinesOf(const std::string& text, const std::string& kind,
                                      const std::string& url) {
  std::vector<std::string> picked;
  for (const std::string& line : Lines(text)) {
    if (line.compare(0, kind.size() + 2, "\t" + kind + "\t") != 0) continue;
    if (line.find("\turl:" + url + "\t") != std::string::npos) picked.push_back(line);
  }
  return picked;
}

}  // namespace e2e

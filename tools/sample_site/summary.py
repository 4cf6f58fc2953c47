#!/usr/bin/env python3
"""Prints what a crawler run produced, for a person to read.

    summary.py LOG_DIR URL_COUNT
    summary.py --fed-back LOG_DIR     (items reported back to the dispatcher)

LOG_DIR holds the files written under config/klog.run.conf (records.log,
audit.log, crawler.log) and the simulator's dispatcher.log. Each result
record is shown with its page decoded (base64, then zlib) and its title, or
for a robots.txt fetch with its rule pattern.
"""

import base64
import collections
import json
import os
import re
import sys
import zlib

TITLE = re.compile(rb"<title>(.*?)</title>", re.I | re.S)
CHARSET = re.compile(r"charset=([\w.-]+)", re.I)
META_CHARSET = re.compile(rb"charset=[\"']?([\w.-]+)", re.I)


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as fp:
        return fp.read().splitlines()


def audit_errnos(lines):
    """errno of every finished item, from its one "emit" audit line."""
    found = []
    for line in lines:
        fields = line.split("\t")
        if len(fields) > 3 and fields[1] == "emit" and fields[3].startswith("stage:download_"):
            errno = [f[6:] for f in fields if f.startswith("errno:")]
            found.append(int(errno[0]) if errno else None)
    return found


def parse_record(line):
    """(category, fields) of one record line, or None."""
    parts = line.split("\t", 4)
    if len(parts) != 5 or parts[1:3] != ["output", "scribe"]:
        return None
    try:
        return parts[3], json.loads(parts[4])
    except ValueError:
        return None


def page_of(record):
    try:
        content = record["value"][0]["attrs"].get("content", "")
        return zlib.decompress(base64.b64decode(content)) if content else b""
    except (KeyError, IndexError, ValueError, zlib.error):
        return None


def declared_charsets(page, content_type):
    m = CHARSET.search(content_type or "")
    if m:
        return [m.group(1)]
    m = META_CHARSET.search(page)
    return [m.group(1).decode("ascii")] if m else []


def title_of(page, content_type):
    m = TITLE.search(page)
    if not m:
        return ""
    for name in declared_charsets(page, content_type) + ["utf-8", "gb18030", "big5", "latin-1"]:
        try:
            return m.group(1).decode(name).strip()
        except (LookupError, UnicodeDecodeError):
            continue
    return ""


def describe(record):
    values = record.get("value") or [{}]
    pattern = values[0].get("attrs", {}).get("pattern")
    if pattern is not None:
        return "rules: " + pattern.replace("\t", " | ")
    page = page_of(record)
    if page is None:
        return "no page"
    title = title_of(page, record.get("content_type"))
    return "%d bytes%s" % (len(page), ", title: " + title if title else "")


def feedback(lines):
    """Calls per method, finished items per host and per proxy."""
    counts = collections.Counter()
    hosts = collections.Counter()
    proxies = collections.Counter()
    for line in lines:
        try:
            event = json.loads(line)
        except ValueError:
            continue
        call = event.get("call")
        if call:
            counts[call] += 1
        if call == "NotfiyDownloadFinish":
            hosts.update(event.get("hosts_count", {}))
        if call == "NotfiyProxyDownloadFinish":
            for item in event.get("vec_proxy_concurr", []):
                proxies[item.get("proxy_addr", "")] += item.get("concurr_cnt", 0)
    return counts, hosts, proxies


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if sys.argv[1] == "--fed-back":
        _, hosts, proxies = feedback(read_lines(os.path.join(sys.argv[2], "dispatcher.log")))
        print(sum(hosts.values()) + sum(proxies.values()))
        return
    logs, expected = sys.argv[1], int(sys.argv[2])
    errnos = audit_errnos(read_lines(os.path.join(logs, "audit.log")))
    records = [r for r in map(parse_record, read_lines(os.path.join(logs, "records.log"))) if r]
    requests = len(read_lines(os.path.join(logs, "http_sim.log")))
    print("URLs in the URL file: %d, finished: %d%s" % (
        expected, len(errnos), ", HTTP requests served: %d" % requests if requests else ""))
    tally = collections.Counter(errnos)
    print("errno counts: " + ", ".join("%s: %d" % (k, tally[k]) for k in sorted(tally, key=str)))
    print("result records: %d" % len(records))
    for category, rec in records:
        durl = rec.get("durl", "")
        hop = "" if durl == rec.get("url") else "\n        -> " + durl
        print("  [%s] errno %s, http %s, %s%s\n        %s" % (
            category, rec.get("errno"), rec.get("httpcode", "-"), rec.get("url"), hop, describe(rec)))
    calls, hosts, proxies = feedback(read_lines(os.path.join(logs, "dispatcher.log")))
    print("dispatcher calls: " + ", ".join("%s %d" % kv for kv in sorted(calls.items())))
    print("reported finished, per host: " + ", ".join("%s %d" % kv for kv in sorted(hosts.items())))
    if proxies:
        print("reported finished, per proxy: " +
              ", ".join("%s %d" % kv for kv in sorted(proxies.items())))
    print("files: records %s/records.log, audit lines %s/audit.log, messages %s/crawler.log, "
          "dispatcher calls %s/dispatcher.log" % (logs, logs, logs, logs))


if __name__ == "__main__":
    main()

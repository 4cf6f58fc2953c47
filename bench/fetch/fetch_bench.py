#!/usr/bin/env python3
"""Fetch benchmark: crawler (full path) against curl, wget2 and Scrapy on one loopback nginx.

    python3 bench/fetch/fetch_bench.py [--build DIR] [--pages N] [--size BYTES]
                                       [--only NAMES] [--perf] [--keep]

Serves N pages (10,000 by default) of SIZE bytes (8 KB) from Debian's nginx on
127.0.0.1, then fetches the same URL list with
  - crawler, 2 download threads, dispatcher_sim as the dispatcher, every record
    written through the logging configuration to a file (the full path);
  - crawler again with 4 download threads, for its peak RSS;
  - curl --parallel --parallel-max 64 (pages to /dev/null);
  - wget2 --max-threads=64 (pages to files);
  - a Scrapy spider (scrapy_spider.py: 64 concurrent requests, robots and
    cookies off) writing one JSON line per URL, page zlib-compressed and
    base64-encoded;
  - crawler for 10 s with nothing to fetch, to price its waiting;
checks that every record and every JSON line decodes to the exact page served,
and prints for each tool pages per second, whole-process CPU (user + sys) per
1,000 pages and peak RSS, then the three target ratios:
  crawler pages/s vs Scrapy       >= 20x
  crawler CPU per page vs curl    <= 2.5x
  crawler peak RSS, 4 threads     <= 4 x 12 MiB + 64 MiB
and where the crawler's CPU goes: per thread role, and per 1,000 pages once
the idle cost over the run's length is taken off.
nginx, wget2, time and python3-scrapy are installed with apt-get when missing
(root only). Every child runs under a time limit. Nothing leaves loopback.
--perf records the 2-thread crawler run with perf (call graphs) and prints
its samples by kind: sleeping and waking, system calls, libraries.
"""

import argparse
import base64
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGES = [("nginx", "/usr/sbin/nginx"), ("wget2", "/usr/bin/wget2"), ("time", "/usr/bin/time"),
            ("python3-scrapy", "/usr/lib/python3/dist-packages/scrapy")]
PERF_PACKAGE = ("linux-perf", "/usr/bin/perf")
# Debian's interpreter, the one python3-scrapy installs into.
SPIDER_PYTHON = "/usr/bin/python3"
TOOLS = ("curl", "wget2", "scrapy", "crawler", "crawler4", "idle")
PARALLEL = 64
CRAWLER_THREADS = 2
RSS_THREADS = 4
POLL_SECONDS = 0.05
FINISH_TIMEOUT = 600
STOP_TIMEOUT = 15
KILL_GRACE = 10
PERF_TIMEOUT = FINISH_TIMEOUT
PERF_TOP = 16
# Kernel entry points that name the system call, as perf shows them.
SYSCALL_PREFIXES = ("__x64_sys_", "ksys_", "__sys_")
IDLE_SECONDS = 10
MIB = 1024 * 1024

# Targets of the full path, as ratios within one run.
TARGET_PPS_VS_SCRAPY = 20.0
TARGET_CPU_VS_CURL = 2.5
TARGET_RSS_PER_THREAD = 12 * MIB
TARGET_RSS_BASE = 64 * MIB

# The crawler's logging for the run: nothing on the console, general and
# audit lines to one file, result records one per line to another.
KLOG_CONF = """klog.rootLogger = INFO, FILE
klog.appender.FILE = FileAppender
klog.appender.FILE.File = logs/crawler.log
klog.appender.FILE.CreateDirs = true
klog.appender.FILE.layout = PatternLayout
klog.appender.FILE.layout.ConversionPattern = %D [%p] [%c] [%t] %m%n
klog.logger.search.download.scribe = INFO, RECORDS
klog.additivity.search.download.scribe = false
klog.appender.RECORDS = FileAppender
klog.appender.RECORDS.File = logs/records.log
klog.appender.RECORDS.CreateDirs = true
klog.appender.RECORDS.layout = PatternLayout
klog.appender.RECORDS.layout.ConversionPattern = %m%n
"""
RECORD_CONTENT = re.compile(r'"url": "([^"]*)".*?"content": "([^"]*)"')


def ensure_packages(wanted):
    missing = [pkg for pkg, path in wanted if not os.path.exists(path)]
    if not missing:
        return
    if os.geteuid() != 0:
        sys.exit("missing packages %s; run as root to install them" % " ".join(missing))
    # Keep the package scripts from starting a system nginx on port 80.
    guard = "/usr/sbin/policy-rc.d"
    made_guard = not os.path.exists(guard)
    if made_guard:
        with open(guard, "w") as fp:
            fp.write("#!/bin/sh\nexit 101\n")
        os.chmod(guard, 0o755)
    try:
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(["apt-get", "update", "-qq"], check=True, env=env, timeout=FINISH_TIMEOUT)
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                       check=True, env=env, timeout=FINISH_TIMEOUT)
    finally:
        if made_guard:
            os.remove(guard)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def page_body(size):
    head = b"<html><head><title>bench page</title></head><body>"
    tail = b"</body></html>\n"
    filler = b"lorem ipsum dolor sit amet " * (size // 27 + 1)
    return head + filler[:size - len(head) - len(tail)] + tail


def make_site(docroot, pages, body):
    os.makedirs(os.path.join(docroot, "p"))
    for i in range(pages):
        with open(os.path.join(docroot, "p", "%d.html" % i), "wb") as fp:
            fp.write(body)


def start_nginx(work, docroot, port):
    conf = os.path.join(work, "nginx.conf")
    user = "user root;\n" if os.geteuid() == 0 else ""
    temp = os.path.join(work, "nginx-temp")
    os.makedirs(temp)
    with open(conf, "w") as fp:
        fp.write(user + """worker_processes 1;
daemon off;
pid %(w)s/nginx.pid;
error_log %(w)s/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 1000000;
  keepalive_timeout 120;
  client_body_temp_path %(t)s/body;
  proxy_temp_path %(t)s/proxy;
  fastcgi_temp_path %(t)s/fastcgi;
  uwsgi_temp_path %(t)s/uwsgi;
  scgi_temp_path %(t)s/scgi;
  default_type text/html;
  server { listen 127.0.0.1:%(p)d; root %(d)s; }
}
""" % {"w": work, "t": temp, "p": port, "d": docroot})
    proc = subprocess.Popen(["/usr/sbin/nginx", "-p", work, "-c", conf])
    deadline = time.time() + 10
    while time.time() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return proc
        except OSError:
            time.sleep(POLL_SECONDS)
    proc.kill()
    sys.exit("nginx did not start; see %s/nginx-error.log" % work)


class Result:
    def __init__(self, elapsed, cpu, rss, checked="-"):
        self.elapsed = elapsed  # wall seconds
        self.cpu = cpu          # user + sys seconds of the whole process
        self.rss = rss          # peak resident set, bytes
        self.checked = checked  # what the output check found
        self.roles = {}         # crawler only: CPU seconds per thread role


def timed(cmd, work, name):
    """Runs cmd under /usr/bin/time and a time limit; returns a Result."""
    out = os.path.join(work, name + ".time")
    log = open(os.path.join(work, name + ".log"), "wb")
    start = time.time()
    limited = ["timeout", "-k", str(KILL_GRACE), str(FINISH_TIMEOUT)] + cmd
    rc = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", out] + limited,
                        stdout=subprocess.DEVNULL, stderr=log).returncode
    elapsed = time.time() - start
    log.close()
    if rc != 0:
        print("warning: %s exited with %d (see %s.log)" % (name, rc, name), file=sys.stderr)
    with open(out) as fp:
        user, system, rss_kib = fp.read().split()[-3:]
    return Result(elapsed, float(user) + float(system), int(rss_kib) * 1024)


def write_lines(path, lines):
    with open(path, "w") as fp:
        fp.write("\n".join(lines) + "\n")


def run_curl(urls, work):
    cfg = os.path.join(work, "curl.cfg")
    write_lines(cfg, ['url = "%s"\noutput = "/dev/null"' % url for url in urls])
    return timed(["curl", "-s", "--parallel", "--parallel-max", str(PARALLEL), "-K", cfg],
                 work, "curl")


def run_wget2(urls, work):
    listing = os.path.join(work, "urls.txt")
    write_lines(listing, urls)
    out = os.path.join(work, "wget2-out")
    os.makedirs(out)
    return timed(["/usr/bin/wget2", "--max-threads=%d" % PARALLEL, "-q", "--no-robots",
                  "--no-config", "-P", out, "-i", listing], work, "wget2")


def check_pages(pairs, urls, body):
    """Counts (url, base64 of zlib page) pairs that decode to the page served."""
    wanted = set(urls)
    good = 0
    for url, encoded in pairs:
        try:
            if url in wanted and zlib.decompress(base64.b64decode(encoded)) == body:
                good += 1
                wanted.discard(url)
        except (ValueError, zlib.error):
            pass
    return "%d/%d exact" % (good, len(urls))


def scrapy_pairs(path):
    try:
        with open(path) as fp:
            for line in fp:
                item = json.loads(line)
                yield item.get("url", ""), item.get("page", "")
    except (OSError, ValueError):
        return


def run_scrapy(urls, work, body):
    listing = os.path.join(work, "scrapy-urls.txt")
    write_lines(listing, urls)
    out = os.path.join(work, "scrapy.jsonl")
    result = timed([SPIDER_PYTHON, os.path.join(HERE, "scrapy_spider.py"), listing, out],
                   work, "scrapy")
    result.checked = check_pages(scrapy_pairs(out), urls, body)
    return result


def process_cpu(pid):
    with open("/proc/%d/stat" % pid) as fp:
        fields = fp.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss(pid):
    with open("/proc/%d/status" % pid) as fp:
        for line in fp:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


def finished_count(path):
    total = 0
    try:
        with open(path) as fp:
            for line in fp:
                if '"NotfiyDownloadFinish"' in line:
                    total += sum(json.loads(line).get("hosts_count", {}).values())
    except (OSError, ValueError):
        pass
    return total


def wait_for(predicate, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(POLL_SECONDS)
    return False


def stop(proc):
    for _ in range(2):  # the second SIGTERM cuts the shutdown grace short
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
            time.sleep(0.5)
    try:
        proc.wait(STOP_TIMEOUT)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def substitute(text, old, new):
    if old not in text:
        sys.exit("config/crawler.ini no longer holds '%s'" % old)
    return text.replace(old, new, 1)


def crawler_config(work, dispatcher_port, threads):
    """Writes the logging configuration and the INI file beside run/."""
    config = os.path.join(work, "config")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "klog.conf"), "w") as fp:
        fp.write(KLOG_CONF)
    shutil.copy(os.path.join(HERE, "..", "..", "config", "host.encoding.txt"), config)
    with open(os.path.join(HERE, "..", "..", "config", "crawler.ini")) as fp:
        ini = fp.read()
    ini = substitute(ini, "download_thread_count = 2", "download_thread_count = %d" % threads)
    ini = substitute(ini, "server_addrs = 127.0.0.1:9090",
                     "server_addrs = 127.0.0.1:%d" % dispatcher_port)
    path = os.path.join(config, "crawler.ini")
    with open(path, "w") as fp:
        fp.write(ini)
    return path


def record_pairs(path):
    try:
        with open(path, errors="replace") as fp:
            for line in fp:
                found = RECORD_CONTENT.search(line)
                if found:
                    yield found.group(1), found.group(2)
    except OSError:
        return


def start_dispatcher(build, urls, work):
    listing = os.path.join(work, "dispatch.txt")
    write_lines(listing, [url + "\tip=127.0.0.1\tdata_type=html" for url in urls])
    port_file = os.path.join(work, "dispatcher.port")
    events = os.path.join(work, "dispatcher.jsonl")
    dispatcher = subprocess.Popen([os.path.join(build, "bin", "dispatcher_sim"), "-u", listing,
                                   "--port-file", port_file, "-o", events],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def port():
        try:
            return int(open(port_file).read())
        except (OSError, ValueError):
            return 0

    if not wait_for(port, 10):
        stop(dispatcher)
        sys.exit("dispatcher_sim did not start")
    return dispatcher, port(), events


def thread_count(pid):
    try:
        return len(os.listdir("/proc/%d/task" % pid))
    except OSError:
        return 0


def start_perf(pid, work, threads):
    # perf attaches to the threads present, so wait for the download,
    # resolver and intake threads beside the main one.
    wait_for(lambda: thread_count(pid) >= threads + 3, 10)
    out = os.path.join(work, "perf.data")
    return subprocess.Popen(["timeout", "-s", "INT", str(PERF_TIMEOUT), "perf", "record", "-F",
                             "999", "-g", "-o", out, "-p", str(pid)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL), out


def perf_samples(out):
    """The call chains of perf.data, leaf first, as lists of "symbol (dso)"."""
    text = subprocess.run(["perf", "script", "-i", out, "-F", "tid,ip,sym,dso"],
                          capture_output=True, text=True, timeout=PERF_TIMEOUT).stdout
    samples = []
    for line in text.splitlines():
        if line.startswith("\t"):
            if samples:
                samples[-1].append(line.strip().split(None, 1)[-1])
        elif line.strip():
            samples.append([])
    return [chain for chain in samples if chain]


def perf_class(chain):
    """Sleeping and waking, a system call by name, or the library of the leaf."""
    if any("nanosleep" in frame for frame in chain):
        return "sleep and wake-up (usleep loops)"
    for frame in chain:
        for prefix in SYSCALL_PREFIXES:
            if frame.startswith(prefix):
                return "kernel: " + frame.split()[0][len(prefix):]
    dso = chain[0].rsplit("(", 1)[-1].rstrip(")")
    return "kernel: other" if "kernel" in dso else os.path.basename(dso)


def print_perf(perf, out):
    perf.send_signal(signal.SIGINT)
    perf.wait(STOP_TIMEOUT)
    counts = {}
    samples = perf_samples(out)
    for chain in samples:
        name = perf_class(chain)
        counts[name] = counts.get(name, 0) + 1
    print("perf samples of the crawler run (%s): %d" % (out, len(samples)))
    for name, n in sorted(counts.items(), key=lambda kv: -kv[1])[:PERF_TOP]:
        print("  %5.1f%%  %s" % (100.0 * n / max(len(samples), 1), name))


def thread_cpu(pid, threads):
    """CPU seconds per role. With no robots service configured the resolver,
    the download threads and the intake thread are started last, in that
    order, so they hold the highest thread ids."""
    tids = sorted(int(t) for t in os.listdir("/proc/%d/task" % pid))
    workers = [t for t in tids if t != pid][-(threads + 2):]
    roles = {"download": 0.0, "resolver": 0.0, "intake": 0.0, "main+logging": 0.0}
    for tid in tids:
        role = "main+logging"
        if tid in workers:
            role = ("resolver" if tid == workers[0] else
                    "intake" if tid == workers[-1] else "download")
        try:
            with open("/proc/%d/task/%d/stat" % (pid, tid)) as fp:
                fields = fp.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        roles[role] += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return roles


def crawler_session(build, urls, work, threads, until, timeout, perf=False):
    """Runs the crawler on urls until until(events) or timeout; returns
    (Result, CPU per thread role, records file)."""
    os.makedirs(work)
    dispatcher, port, events = start_dispatcher(build, urls, work)
    try:
        ini = crawler_config(work, port, threads)
        run = os.path.join(work, "run")
        os.makedirs(run)
        start = time.time()
        crawler = subprocess.Popen([os.path.join(build, "bin", "crawler"), "-c", ini], cwd=run,
                                   env=dict(os.environ, vorn_pid_dir=work),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        profiler = start_perf(crawler.pid, work, threads) if perf else None
        try:
            wait_for(lambda: until(events) or crawler.poll() is not None, timeout)
            elapsed = time.time() - start
            if crawler.poll() is not None:
                sys.exit("crawler exited with %d; see %s/run/logs" % (crawler.returncode, work))
            result = Result(elapsed, process_cpu(crawler.pid), peak_rss(crawler.pid))
            roles = thread_cpu(crawler.pid, threads)
        finally:
            if profiler is not None:
                print_perf(*profiler)
            stop(crawler)
        return result, roles, os.path.join(run, "logs", "records.log")
    finally:
        stop(dispatcher)


def run_crawler(build, urls, work, body, threads, perf=False):
    work = os.path.join(work, "crawler%d" % threads)
    result, roles, records = crawler_session(
        build, urls, work, threads, lambda events: finished_count(events) >= len(urls),
        FINISH_TIMEOUT, perf)
    finished = finished_count(os.path.join(work, "dispatcher.jsonl"))
    if finished < len(urls):
        print("warning: crawler finished %d of %d" % (finished, len(urls)), file=sys.stderr)
    result.checked = check_pages(record_pairs(records), urls, body)
    result.roles = roles
    return result


def run_idle(build, work, threads):
    """The crawler with nothing to fetch: its CPU cost per second of waiting."""
    result, roles, _ = crawler_session(build, [], os.path.join(work, "idle%d" % threads), threads,
                                       lambda events: False, IDLE_SECONDS)
    result.roles = roles
    return result


def verdict(value, target, at_least):
    met = value >= target if at_least else value <= target
    return "met" if met else "MISSED"


def role_text(roles, scale, unit):
    return ", ".join("%s %.0f %s" % (k, v * scale, unit) for k, v in roles.items())


def report_table(results, pages):
    print("%-9s %7s %9s %9s %12s %9s %12s %12s  %s" % (
        "tool", "pages", "seconds", "pages/s", "cpu ms/1000", "rss MiB", "pps vs curl",
        "cpu vs curl", "output check"))
    curl = results.get("curl")
    for name, r in results.items():
        if name == "idle":
            continue
        pps = pages / r.elapsed
        cpu_ms = r.cpu / pages * 1e6
        vs = ("%12.2f %12.2f" % (pps / (pages / curl.elapsed), r.cpu / curl.cpu) if curl else
              "%12s %12s" % ("-", "-"))
        print("%-9s %7d %9.2f %9.0f %12.1f %9.1f %s  %s" % (
            name, pages, r.elapsed, pps, cpu_ms, r.rss / MIB, vs, r.checked))


def report_targets(results):
    crawler, crawler4 = results.get("crawler"), results.get("crawler4")
    curl, scrapy = results.get("curl"), results.get("scrapy")
    print("targets (crawler = full path, %d download threads):" % CRAWLER_THREADS)
    if crawler and scrapy:
        ratio = scrapy.elapsed / crawler.elapsed
        print("  crawler pages/s vs Scrapy:    %7.2fx  (target >= %.0fx)  %s" % (
            ratio, TARGET_PPS_VS_SCRAPY, verdict(ratio, TARGET_PPS_VS_SCRAPY, True)))
    if crawler and curl:
        ratio = crawler.cpu / curl.cpu
        print("  crawler CPU per page vs curl: %7.2fx  (target <= %.1fx)  %s" % (
            ratio, TARGET_CPU_VS_CURL, verdict(ratio, TARGET_CPU_VS_CURL, False)))
    if crawler4:
        limit = RSS_THREADS * TARGET_RSS_PER_THREAD + TARGET_RSS_BASE
        print("  crawler peak RSS, %d threads: %7.1f MiB (target <= %.0f MiB)  %s" % (
            RSS_THREADS, crawler4.rss / MIB, limit / MIB, verdict(crawler4.rss, limit, False)))


def report_breakdown(results, pages):
    """Where the crawler's CPU goes: per thread role, and what is left once
    the cost of waiting (measured with nothing to fetch) is taken off."""
    crawler, idle, curl = results.get("crawler"), results.get("idle"), results.get("curl")
    if crawler:
        print("crawler CPU by thread: %s" % role_text(crawler.roles, 1e3, "ms"))
    if not idle:
        return
    rate = idle.cpu / idle.elapsed
    print("crawler idle, nothing to fetch for %.0f s: %.0f ms CPU per second (%s)" % (
        idle.elapsed, rate * 1e3, role_text(idle.roles, 1e3 / idle.elapsed, "ms/s")))
    if crawler:
        busy = max(crawler.cpu - rate * crawler.elapsed, 0.0)
        vs = " = %.2fx curl" % (busy / curl.cpu) if curl else ""
        print("crawler CPU per 1,000 pages less %.1f s of idle cost: %.1f ms%s" % (
            rate * crawler.elapsed, busy / pages * 1e6, vs))


def report(results, pages):
    report_table(results, pages)
    report_targets(results)
    report_breakdown(results, pages)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0], epilog=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="build directory holding bin/")
    ap.add_argument("--pages", type=int, default=10000)
    ap.add_argument("--size", type=int, default=8192)
    ap.add_argument("--only", default=",".join(TOOLS),
                    help="comma-separated subset of %s" % ",".join(TOOLS))
    ap.add_argument("--perf", action="store_true", help="profile the 2-thread crawler run")
    ap.add_argument("--keep", action="store_true", help="keep the work directory")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    chosen = [t for t in TOOLS if t in args.only.split(",")]
    for binary in ("crawler", "dispatcher_sim"):
        if not os.path.exists(os.path.join(build, "bin", binary)):
            sys.exit("%s/bin/%s is missing: build the crawler and dispatcher_sim targets" %
                     (build, binary))
    ensure_packages(PACKAGES + ([PERF_PACKAGE] if args.perf else []))
    work = tempfile.mkdtemp(prefix="fetch_bench.")
    os.chmod(work, 0o755)
    nginx = None
    try:
        docroot = os.path.join(work, "www")
        body = page_body(args.size)
        make_site(docroot, args.pages, body)
        port = free_port()
        nginx = start_nginx(work, docroot, port)
        urls = ["http://127.0.0.1:%d/p/%d.html" % (port, i) for i in range(args.pages)]
        runners = {
            "crawler": lambda: run_crawler(build, urls, work, body, CRAWLER_THREADS, args.perf),
            "crawler4": lambda: run_crawler(build, urls, work, body, RSS_THREADS),
            "curl": lambda: run_curl(urls, work),
            "wget2": lambda: run_wget2(urls, work),
            "scrapy": lambda: run_scrapy(urls, work, body),
            "idle": lambda: run_idle(build, work, CRAWLER_THREADS),
        }
        report({name: runners[name]() for name in chosen}, args.pages)
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait(STOP_TIMEOUT)
        if args.keep:
            print("work directory: %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

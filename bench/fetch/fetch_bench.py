#!/usr/bin/env python3
"""Fetch benchmark: crawler against curl and wget2 on one loopback nginx.

    python3 bench/fetch/fetch_bench.py [--build DIR] [--pages N] [--size BYTES]

Serves N pages (10,000 by default) of SIZE bytes (8 KB) from Debian's nginx on
127.0.0.1, then fetches the same URL list with
  - crawler (2 download threads, dispatcher_sim as the dispatcher),
  - curl --parallel --parallel-max 64,
  - wget2 --max-threads=64,
and prints, for each, pages per second and whole-process CPU seconds (user +
sys) per 1,000 pages, with the ratios against curl. nginx, wget2 and time are
installed with apt-get when missing (root only). Nothing leaves loopback.
"""

import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

PACKAGES = [("nginx", "/usr/sbin/nginx"), ("wget2", "/usr/bin/wget2"), ("time", "/usr/bin/time")]
PARALLEL = 64
CRAWLER_THREADS = 2
POLL_SECONDS = 0.05
FINISH_TIMEOUT = 600
STOP_TIMEOUT = 15


def ensure_packages():
    missing = [pkg for pkg, path in PACKAGES if not os.path.exists(path)]
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
        subprocess.run(["apt-get", "update", "-qq"], check=True, env=env)
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                       check=True, env=env)
    finally:
        if made_guard:
            os.remove(guard)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_site(docroot, pages, size):
    os.makedirs(os.path.join(docroot, "p"))
    head = b"<html><head><title>bench page</title></head><body>"
    tail = b"</body></html>\n"
    filler = b"lorem ipsum dolor sit amet " * (size // 27 + 1)
    body = head + filler[:size - len(head) - len(tail)] + tail
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


def timed(cmd, work, name):
    """Runs cmd under /usr/bin/time; returns (elapsed, user + sys)."""
    out = os.path.join(work, name + ".time")
    start = time.time()
    rc = subprocess.run(["/usr/bin/time", "-f", "%U %S", "-o", out] + cmd,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    elapsed = time.time() - start
    if rc != 0:
        print("warning: %s exited with %d" % (name, rc), file=sys.stderr)
    with open(out) as fp:
        user, system = fp.read().split()[-2:]
    return elapsed, float(user) + float(system)


def run_curl(urls, work):
    cfg = os.path.join(work, "curl.cfg")
    with open(cfg, "w") as fp:
        for url in urls:
            fp.write('url = "%s"\noutput = "/dev/null"\n' % url)
    return timed(["curl", "-s", "--parallel", "--parallel-max", str(PARALLEL), "-K", cfg],
                 work, "curl")


def run_wget2(urls, work):
    listing = os.path.join(work, "urls.txt")
    with open(listing, "w") as fp:
        fp.write("\n".join(urls) + "\n")
    out = os.path.join(work, "wget2-out")
    os.makedirs(out)
    return timed(["/usr/bin/wget2", "--max-threads=%d" % PARALLEL, "-q", "--no-robots",
                  "--no-config", "-P", out, "-i", listing], work, "wget2")


def process_cpu(pid):
    with open("/proc/%d/stat" % pid) as fp:
        fields = fp.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


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


def crawler_ini(build, work, dispatcher_port):
    klog = os.path.join(work, "klog.conf")
    with open(klog, "w") as fp:
        fp.write("klog.rootLogger=INFO, F\nklog.appender.F=FileAppender\n"
                 "klog.appender.F.File=%s/crawler.log\n"
                 "klog.appender.F.layout=PatternLayout\n"
                 "klog.appender.F.layout.ConversionPattern=%%D [%%p] [%%c] %%m%%n\n"
                 "klog.logger.search.download.scribe=OFF\n" % work)
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "config",
                          "crawler.ini")
    with open(source) as fp:
        sample = fp.read()
    sample = sample.replace("server_addrs = 127.0.0.1:9090",
                            "server_addrs = 127.0.0.1:%d" % dispatcher_port)
    ini = os.path.join(work, "crawler.ini")
    with open(ini, "w") as fp:
        fp.write("[crawler]\nlog_file = %s\ndownload_thread_count = %d\n" % (klog, CRAWLER_THREADS))
        fp.write(sample)
    return ini


def run_crawler(build, urls, work):
    listing = os.path.join(work, "dispatch.txt")
    with open(listing, "w") as fp:
        for url in urls:
            fp.write(url + "\tip=127.0.0.1\tdata_type=html\n")
    port_file = os.path.join(work, "dispatcher.port")
    events = os.path.join(work, "dispatcher.jsonl")
    dispatcher = subprocess.Popen([os.path.join(build, "bin", "dispatcher_sim"), "-u", listing,
                                   "--port-file", port_file, "-o", events],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not wait_for(lambda: os.path.exists(port_file) and open(port_file).read().strip(), 10):
            sys.exit("dispatcher_sim did not start")
        ini = crawler_ini(build, work, int(open(port_file).read()))
        run = os.path.join(work, "run")
        os.makedirs(run)
        start = time.time()
        crawler = subprocess.Popen([os.path.join(build, "bin", "crawler"), "-c", ini], cwd=run,
                                   env=dict(os.environ, vorn_pid_dir=work),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            done = wait_for(lambda: finished_count(events) >= len(urls) or crawler.poll() is not None,
                            FINISH_TIMEOUT)
            elapsed = time.time() - start
            cpu = process_cpu(crawler.pid) if crawler.poll() is None else float("nan")
        finally:
            stop(crawler)
        if not done or finished_count(events) < len(urls):
            print("warning: crawler finished %d of %d" % (finished_count(events), len(urls)),
                  file=sys.stderr)
        return elapsed, cpu
    finally:
        stop(dispatcher)


def report(results, pages):
    base_pps = pages / results["curl"][0]
    base_cpu = results["curl"][1] / pages * 1000
    print("%-8s %8s %10s %10s %14s %12s %12s" % ("tool", "pages", "seconds", "pages/s",
                                                 "cpu ms/1000", "pps vs curl", "cpu vs curl"))
    for name, (elapsed, cpu) in results.items():
        pps = pages / elapsed
        cpu_ms = cpu / pages * 1000 * 1000
        print("%-8s %8d %10.2f %10.0f %14.1f %12.2f %12.2f" % (
            name, pages, elapsed, pps, cpu_ms, pps / base_pps, cpu_ms / (base_cpu * 1000)))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default="build", help="build directory holding bin/")
    ap.add_argument("--pages", type=int, default=10000)
    ap.add_argument("--size", type=int, default=8192)
    ap.add_argument("--keep", action="store_true", help="keep the work directory")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    for binary in ("crawler", "dispatcher_sim"):
        if not os.path.exists(os.path.join(build, "bin", binary)):
            sys.exit("%s/bin/%s is missing: build the crawler and dispatcher_sim targets" %
                     (build, binary))
    ensure_packages()
    work = tempfile.mkdtemp(prefix="fetch_bench.")
    os.chmod(work, 0o755)
    nginx = None
    try:
        docroot = os.path.join(work, "www")
        make_site(docroot, args.pages, args.size)
        port = free_port()
        nginx = start_nginx(work, docroot, port)
        urls = ["http://127.0.0.1:%d/p/%d.html" % (port, i) for i in range(args.pages)]
        results = {"curl": run_curl(urls, work), "wget2": run_wget2(urls, work),
                   "crawler": run_crawler(build, urls, work)}
        report(results, args.pages)
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait()
        if args.keep:
            print("work directory: %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Installs what is missing, builds if needed, and runs one crawl:
#
#   bash scripts/run.sh [URL-file [config-file]]
#
# Without a URL file the bundled sample site (tools/sample_site) is served on
# loopback by tools/http_sim and its URL list is crawled, so nothing leaves
# the machine. A URL file of your own (one URL per line, see dispatcher_sim
# --help) is crawled as given. The bundled dispatcher_sim hands the URLs to
# the crawler, which runs in run/ on a copy of the configuration
# (config/crawler.ini by default) that points at the simulator and at
# config/klog.run.conf. When every URL is finished, or nothing has moved for
# CRAWLER_IDLE_SECONDS (default 30), the crawler is stopped with SIGTERM and
# a summary is printed; records and logs stay in run/logs/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

urls_arg="${1:-}"
config="${2:-config/crawler.ini}"
[ -z "$urls_arg" ] || urls_arg="$(realpath "$urls_arg")"
config="$(realpath "$config")"
idle_limit="${CRAWLER_IDLE_SECONDS:-30}"
build="$top/${CRAWLER_BUILD_DIR:-build}"

bash scripts/install_deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j"${CRAWLER_JOBS:-2}" --target crawler dispatcher_sim

run="$top/run"
logs="$run/logs"
mkdir -p "$logs"
rm -f "$logs"/*.log "$run"/*.ready "$run"/*.port
pids=()
stop_helpers() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_helpers EXIT

wait_for_file() {  # file, what, seconds
  for _ in $(seq $(($3 * 10))); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  echo "run.sh: $2 did not start" >&2
  exit 1
}

urls="$run/urls.txt"
if [ -z "$urls_arg" ]; then
  port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  python3 tools/sample_site/make_routes.py tools/sample_site/site "$port" >"$run/sample_routes.json"
  python3 tools/http_sim/http_sim.py --http "$port" --routes "$run/sample_routes.json" \
    --log "$logs/http_sim.log" --ready-file "$run/http_sim.ready" >/dev/null 2>"$logs/http_sim.err" &
  pids+=($!)
  wait_for_file "$run/http_sim.ready" "the sample site server" 10
  sed "s/PORT/$port/g" tools/sample_site/urls.txt >"$urls"
else
  cp "$urls_arg" "$urls"
fi
url_count="$(grep -cv '^[[:space:]]*\(#\|$\)' "$urls" || true)"

"$build/bin/dispatcher_sim" -u "$urls" --port-file "$run/dispatcher.port" -o "$logs/dispatcher.log" \
  2>"$logs/dispatcher.err" &
pids+=($!)
wait_for_file "$run/dispatcher.port" "dispatcher_sim" 10

sed -e "s|^server_addrs = .*|server_addrs = 127.0.0.1:$(cat "$run/dispatcher.port")|" \
  -e "s|^log_file = .*|log_file = $top/config/klog.run.conf|" "$config" >"$run/crawler.ini"

cd "$run"
export vorn_pid_dir="$run"
"$build/bin/crawler" -c "$run/crawler.ini" >"$logs/crawler.out" 2>&1 &
crawler=$!
echo "crawling $url_count URLs (pid $crawler) ..."

finished() { grep -c $'^\temit\t.*\tstage:download_' "$logs/audit.log" 2>/dev/null || true; }
last=-1
idle=0
while kill -0 "$crawler" 2>/dev/null; do
  done_now="$(finished)"
  [ "${done_now:-0}" -ge "$url_count" ] && break
  if [ "$done_now" = "$last" ]; then idle=$((idle + 1)); else idle=0; last="$done_now"; fi
  [ "$idle" -ge "$idle_limit" ] && break
  sleep 1
done
# Finished items reach the dispatcher on the intake thread's next pass.
for _ in $(seq 10); do
  fed="$(python3 "$top/tools/sample_site/summary.py" --fed-back "$logs")"
  [ "$fed" -ge "$(finished)" ] && break
  sleep 1
done

# The first SIGTERM stops intake and lets transfers drain; the second cuts
# the grace period short once every download thread has ended.
threads="$(sed -n 's/^download_thread_count *= *//p' "$run/crawler.ini" | head -n 1)"
if kill -0 "$crawler" 2>/dev/null; then
  kill -TERM "$crawler"
  for _ in $(seq 300); do
    ended="$(grep -c '] [^ ]*: exit$' "$logs/crawler.log" 2>/dev/null || true)"
    [ "${ended:-0}" -ge "${threads:-1}" ] && break
    sleep 0.1
  done
  kill -TERM "$crawler" 2>/dev/null || true
fi
status=0
wait "$crawler" || status=$?
echo "crawler exited with status $status"
stop_helpers
trap - EXIT

python3 "$top/tools/sample_site/summary.py" "$logs" "$url_count"

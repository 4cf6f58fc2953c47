#!/usr/bin/env bash
# Installs what is missing, builds if needed, and runs the crawler on the
# sample configuration. The working directory is run/ beside config/, so
# the configuration's relative paths and "../config/" resolve; logs and
# records land in run/logs/. Stop it with SIGTERM (Ctrl-C sends SIGINT,
# which ends it at once).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

bash scripts/install_deps.sh
if [ ! -x build/bin/crawler ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j"${CRAWLER_JOBS:-2}" --target crawler

mkdir -p run
cd run
export vorn_pid_dir="$top/run"
exec "$top/build/bin/crawler" -c "${1:-../config/crawler.ini}"

#!/usr/bin/env bash
# Builds the 3DS fuzz target with clang in build-fuzz/ and runs it for a bounded time,
# starting from the shared sample models:
#   tests/fuzz/run.sh [seconds]      (default 60)
# Findings are written to build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(cd ../.. && pwd)
BUILD=$ROOT/build-fuzz
TIME=${1:-60}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 8 --target fuzz_3ds brovanel-3ds
mkdir -p "$BUILD/corpus" "$BUILD/findings"
"$BUILD/threeds/brovanel-3ds" samples "$BUILD/corpus"
"$BUILD/fuzz_3ds" -max_total_time="$TIME" -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix="$BUILD/findings/" "$BUILD/corpus"

#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time:
# the 3DS reader from the shared sample models, the BMP and JPEG readers from seeds
# that our writer and libjpeg make.
#   tests/fuzz/run.sh [seconds]      (default 60, per target)
# Findings are written to build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(cd ../.. && pwd)
BUILD=$ROOT/build-fuzz
TIME=${1:-60}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 8 --target fuzz_3ds brovanel-3ds fuzz_bmp fuzz_jpeg picture_seeds
mkdir -p "$BUILD/corpus" "$BUILD/corpus-bmp" "$BUILD/corpus-jpeg" "$BUILD/findings"
"$BUILD/threeds/brovanel-3ds" samples "$BUILD/corpus"
"$BUILD/picture_seeds" "$BUILD/corpus-bmp" "$BUILD/corpus-jpeg"
for target in 3ds bmp jpeg; do
  corpus=$BUILD/corpus
  [ "$target" = 3ds ] || corpus=$BUILD/corpus-$target
  "$BUILD/fuzz_$target" -max_total_time="$TIME" -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$BUILD/findings/" "$corpus"
done

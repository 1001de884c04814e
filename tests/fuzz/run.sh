#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time:
# the 3DS reader from the shared sample models, the MD2 reader from models of our
# test writer, the BMP and JPEG readers from seeds that our writer and libjpeg make,
# and the five model readers of the mesh layer (model_md2, model_tin, model_ply,
# model_stl, model_smd) from models of our writers and the tests' texts.
#   tests/fuzz/run.sh [seconds]      (default 60, per target)
#   TARGETS="md2 bmp model_ply" tests/fuzz/run.sh [seconds]   (those targets alone)
# Findings are written to build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(cd ../.. && pwd)
BUILD=$ROOT/build-fuzz
TIME=${1:-60}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 8 --target fuzz_3ds brovanel-3ds fuzz_md2 md2_seeds fuzz_bmp fuzz_jpeg picture_seeds \
  fuzz_model_md2 fuzz_model_tin fuzz_model_ply fuzz_model_stl fuzz_model_smd model_seeds
mkdir -p "$BUILD/corpus" "$BUILD/corpus-md2" "$BUILD/corpus-bmp" "$BUILD/corpus-jpeg" "$BUILD/findings"
"$BUILD/threeds/brovanel-3ds" samples "$BUILD/corpus"
"$BUILD/md2_seeds" "$BUILD/corpus-md2"
"$BUILD/picture_seeds" "$BUILD/corpus-bmp" "$BUILD/corpus-jpeg"
"$BUILD/model_seeds" "$BUILD/corpus-models"
for target in ${TARGETS:-3ds md2 bmp jpeg model_md2 model_tin model_ply model_stl model_smd}; do
  corpus=$BUILD/corpus
  [ "$target" = 3ds ] || corpus=$BUILD/corpus-$target
  case $target in model_*) corpus=$BUILD/corpus-models/${target#model_} ;; esac
  "$BUILD/fuzz_$target" -max_total_time="$TIME" -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$BUILD/findings/" "$corpus"
done

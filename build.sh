#!/usr/bin/env bash
# Set-up, build and the two ways in:
#   ./build.sh run [look-file]   installs what is missing, builds, starts the program
#   ./build.sh test              installs what is missing, builds, runs every test
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc)
BUILD=build
ASAN_BUILD=build-asan

# What the program needs to build and run, and what only the tests and benchmarks need
# (the test framework, the virtual display, independent oracles of the geometry and the
# model readers).
PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
  libjpeg62-turbo-dev
  libopengl0 libgl-dev libglu1-mesa libglu1-mesa-dev libegl1 libegl-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0
  fairymax gnuchess phalanx sjeng hoichess
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  libeigen3-dev libglm-dev libgsl-dev assimp-utils
)

install_missing() { # package...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
}

build() { # build-dir extra-cmake-arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir" -j "$JOBS"
}

case "${1:-}" in
  run)
    shift
    install_missing "${PACKAGES[@]}"
    build "$BUILD" -DBROVANEL_TESTS=OFF -DBROVANEL_BENCH=OFF
    exec "$BUILD/app/brovanel" "$@"
    ;;
  test)
    install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build "$BUILD" -DBROVANEL_TESTS=ON -DBROVANEL_BENCH=ON
    build "$ASAN_BUILD" -DBROVANEL_SANITIZE=ON -DBROVANEL_BENCH=OFF
    status=0
    # Everything that needs no display, then the GUI tests on a virtual display,
    # then the pure CPU tests again under the sanitizers. Slow checks are left out.
    (cd "$BUILD" && ctest -j "$JOBS" -L 'unit|gl|engine' -LE slow --output-on-failure --no-tests=ignore) || status=1
    (cd "$BUILD" && xvfb-run -a ctest -L gui -LE slow --output-on-failure --no-tests=ignore) || status=1
    (cd "$ASAN_BUILD" && ctest -j "$JOBS" -L unit -LE slow --output-on-failure --no-tests=ignore) || status=1
    exit $status
    ;;
  *)
    echo "usage: $0 run [look-file] | test" >&2
    exit 2
    ;;
esac

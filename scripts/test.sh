#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the unit tests under AddressSanitizer
# and UBSan, then the widget tests and the X11 integration tests on the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "== unit tests (address + undefined sanitizers)"
BUILD_TYPE=Debug bash scripts/build.sh build-asan -DMIRANO_SANITIZE=ON -DMIRANO_BUILD_TOOLS=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest -L unit --output-on-failure)

echo "== widget and X11 integration tests"
bash scripts/build.sh build
(cd build && ctest -L 'widget|x11' --output-on-failure)

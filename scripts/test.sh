#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

scripts/build.sh build -DORVEX_WERROR=ON
ctest --test-dir build --output-on-failure -j2

scripts/build.sh build-asan -DORVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir build-asan --output-on-failure -j2

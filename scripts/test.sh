#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Corvane with its tests and runs the whole suite.
# CORVANE_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build_dir=build
sanitize=OFF
if [ "${CORVANE_SANITIZE:-0}" = 1 ]; then
    build_dir=build-asan
    sanitize=ON
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DCORVANE_SANITIZE="$sanitize"
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j1 "$@"

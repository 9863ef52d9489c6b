#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole
# test suite. Extra arguments go to ctest (for example: -L common).
set -euo pipefail
cd "$(dirname "$0")"

tools/setup-deps.sh

build=build/asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVYN_SANITIZE=ON -DVYN_BUILD_TESTS=ON
cmake --build "$build" --parallel "$(nproc)"

export TZ=UTC
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300 "$@"

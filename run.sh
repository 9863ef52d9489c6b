#!/usr/bin/env bash
# Builds the release configuration and runs vynconf with the given arguments,
# against the built-in simulated controller unless VYN_SIMULATOR says otherwise.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/tools/setup-deps.sh" >&2

build="$here/build/release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVYN_BUILD_TESTS=OFF >&2
cmake --build "$build" --parallel "$(nproc)" >&2

export VYN_SIMULATOR="${VYN_SIMULATOR:-default}"
exec "$build/vynconf" "$@"

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
# The simulator keeps its nodes, lock files and state under the host root:
# a private one, kept between runs, unless the caller names one.
if [ -z "${VYN_HOST_ROOT:-}" ]; then
  export VYN_HOST_ROOT="$build/host-root"
  mkdir -p "$VYN_HOST_ROOT"/{dev,proc,sys,tmp,etc,var/lock,var/log,var/lib}
fi
exec "$build/vynconf" "$@"

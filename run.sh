#!/usr/bin/env bash
# Builds the release configuration and runs vynconf with the given arguments,
# against the built-in simulated controller unless VYN_SIMULATOR says otherwise.
# A run whose build is in place costs the program and Ninja's check that
# nothing changed: the package set-up and the configure step run only when
# something needs them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build/release"

# The set-up left this stamp when every package was present; a newer set-up
# script (another package list) or a missing stamp runs it again.
stamp="$build/.setup-deps"
if [ ! -f "$stamp" ] || [ "$here/tools/setup-deps.sh" -nt "$stamp" ]; then
  "$here/tools/setup-deps.sh" >&2
  mkdir -p "$build"
  touch "$stamp"
fi

# Configured once; later changes of the CMake files make Ninja configure again.
if [ ! -f "$build/build.ninja" ] || [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVYN_BUILD_TESTS=OFF >&2
fi
if command -v ninja > /dev/null; then
  ninja -C "$build" --quiet -j "$(nproc)" >&2
else
  cmake --build "$build" --parallel "$(nproc)" >&2
fi

export VYN_SIMULATOR="${VYN_SIMULATOR:-default}"
# The simulator keeps its nodes, lock files and state under the host root:
# a private one, kept between runs, unless the caller names one.
if [ -z "${VYN_HOST_ROOT:-}" ]; then
  export VYN_HOST_ROOT="$build/host-root"
  [ -d "$VYN_HOST_ROOT/var/lib" ] || mkdir -p "$VYN_HOST_ROOT"/{dev,proc,sys,tmp,etc,var/lock,var/log,var/lib}
fi
exec "$build/vynconf" "$@"

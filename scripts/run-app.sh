#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it.
# Usage: scripts/run-app.sh            (from anywhere)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BENCH=OFF >/dev/null
cmake --build "$root/build" --target tq_topaz tq_translations esc-sim

# conf/, download/ and the translations follow the working directory, SetIns/
# the executable's folder: the application runs in the build's bin folder,
# where both are the same.
cd "$root/build/bin"
exec ./tq_topaz "$@"

#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it.
# Usage: scripts/run-app.sh            (from anywhere)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BENCH=OFF >/dev/null
cmake --build "$root/build" --target tq_topaz tq_translations esc-sim

# The application reads conf/, SetIns/, download/ and its translations
# relative to its working directory: it runs in the build's bin folder.
cd "$root/build/bin"
exec ./tq_topaz "$@"

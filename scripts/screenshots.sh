#!/usr/bin/env bash
# Takes the screenshots of the configurator page for the documentation:
# docs/screenshot-firmware.png, docs/screenshot-parameters.png,
# docs/screenshot-throttle.png and docs/screenshot-firmware-zh.png. The real
# window runs under Xvfb with the simulated adapter's nodes listed.
#
# Usage: scripts/screenshots.sh [output folder]     (default: docs/)
# The build folder is $TQ_BUILD_DIR, default build/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TQ_BUILD_DIR:-$root/build}"
out="${1:-$root/docs}"

for tool in xvfb-run cmake; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshots: $tool is missing (packages: xvfb xauth fonts-wqy-microhei cmake)" >&2
        exit 1
    fi
done
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target tq_page_screenshots tq_translations

mkdir -p "$out"
out="$(cd "$out" && pwd)"
# A screen larger than the window, so that the window is not clamped.
xvfb-run -a -s "-screen 0 1600x1000x24" "$build/bin/tq_page_screenshots" "$out"

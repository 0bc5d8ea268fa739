#!/bin/sh
# Runs a test executable as a link of its own, in a folder made afresh for
# it, beside links to the translations and pictures of the built folder.
# The page keeps its settings, parameter files and databases beside the
# executable it runs as: so each test meets only its own files, and the
# tests that build the page run side by side. The folder stays after the
# run, for a look at what a failing test left.
# Usage: in-own-folder.sh FOLDER EXECUTABLE
set -eu
folder=$1
exe=$2
bin=$(dirname "$exe")
rm -rf "$folder"
mkdir -p "$folder"
# A link, not a symbolic one: the program's folder is where its file is.
ln "$exe" "$folder/" 2>/dev/null || cp "$exe" "$folder/"
for item in "$bin"/*.qm "$bin/resource"; do
    if [ -e "$item" ]; then
        ln -s "$item" "$folder/"
    fi
done
exec "$folder/$(basename "$exe")"

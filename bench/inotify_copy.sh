#!/usr/bin/env bash
# The simplest watcher-and-copier, for comparison: copies every file closed after writing below
# SOURCE to the same place below TARGET (which the caller has made to mirror SOURCE's folders).
#   inotify_copy.sh SOURCE TARGET
set -u
src=${1%/} dst=${2%/}
inotifywait -m -r -q -e close_write --format '%w%f' "$src" | while IFS= read -r f; do
    cp -- "$f" "$dst/${f#"$src"/}"
done

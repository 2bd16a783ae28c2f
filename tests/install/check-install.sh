#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks it as a desktop would: the
# layout, the desktop entry and AppStream metadata pass their validators, and the installed
# program starts (hidden, without a display) and stops in order on SIGTERM; then installs it
# again over itself while it runs, as a package upgrade does.
#   check-install.sh BUILD_DIR [CMAKE]
# Exits 77 (skipped) after every check it could make when a checking tool is missing.
set -euo pipefail
build=$1
cmake=${2:-cmake}
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/prefix
missing=()
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
have() { command -v "$1" >/dev/null || { missing+=("$1"); return 1; }; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; }

id=org.quillmot.Quillmot
for f in bin/quillmot share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/doc/quillmot/Manual.html \
    share/doc/quillmot/Readme.html share/man/man1/quillmot.1.gz; do
    [[ -s $prefix/$f ]] || fail "$f is not installed"
done
[[ -x $prefix/bin/quillmot ]] || fail "the program is not executable"
# Nothing else lands in bin/: the test programs and helpers stay in the build folder.
[[ $(ls "$prefix/bin") == quillmot ]] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"

# The menu finds the icon by the entry's Icon name, and runs the program by name from PATH.
entry=$prefix/share/applications/$id.desktop
for line in "Exec=quillmot" "Icon=$id" "Categories=Utility;Archiving;" "StartupNotify=false"; do
    grep -qxF "$line" "$entry" || fail "the desktop entry lacks $line"
done
if [[ -f $build/icons/16x16/$id.png ]]; then
    for size in 16 22 24 32 48 64 128 256; do
        png=$prefix/share/icons/hicolor/${size}x$size/apps/$id.png
        [[ -s $png ]] || fail "the $size px icon is not installed"
        # A PNG's width and height are the big-endian words at bytes 16 and 20.
        read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
        ((((w0 << 24 | w1 << 16 | w2 << 8 | w3) == size) &&
            ((h0 << 24 | h1 << 16 | h2 << 8 | h3) == size))) || fail "$png is not $size px"
    done
else
    missing+=("rsvg-convert (the build rendered no PNG icons)")
fi

if have desktop-file-validate; then
    desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
fi
if have appstreamcli; then
    appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" \
        >"$work/as.log" 2>&1 || { cat "$work/as.log"; fail "appstreamcli refuses the metadata"; }
fi

# The installed program runs from its own prefix, with a private home and runtime folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen

# Starts the installed program and waits for its readiness line (or its end).
start() {
    : >"$work/out.log"
    "$prefix/bin/quillmot" nowin >"$work/out.log" 2>&1 &
    pid=$!
    timeout 120 grep -q -m1 "Quillmot: watches open" <(tail -n +1 -f --pid="$pid" "$work/out.log") ||
        { cat "$work/out.log"; fail "the installed program never said it was ready"; }
}
# SIGTERM runs the orderly stop: exit status 0.
stop() {
    kill -TERM "$pid"
    local status=0
    wait "$pid" || status=$?
    pid=
    [[ $status -eq 0 ]] || { cat "$work/out.log"; fail "SIGTERM ended the program with $status"; }
}

start
stop
[[ -d $XDG_CONFIG_HOME/Quillmot ]] || fail "the orderly stop wrote no settings folder"

# Installing again while the program runs (it usually does, from the log-in start entry): the
# same install, then a new file put in place of the program's as a package upgrade does. The
# running program goes on and stops in order, and the new file starts.
start
touch "$prefix/bin/quillmot" # an older or newer file: cmake copies it again
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "installing over the running program failed"; }
cp "$prefix/bin/quillmot" "$prefix/bin/quillmot.new"
mv -f "$prefix/bin/quillmot.new" "$prefix/bin/quillmot"
stop
start
stop

if ((${#missing[@]})); then
    echo "SKIPPED in part, missing: ${missing[*]}"
    exit 77
fi
echo "installed layout, entries and program all check out"

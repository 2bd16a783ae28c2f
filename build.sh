#!/usr/bin/env bash
# Quillmot's two set-up commands, and the package:
#   ./build.sh run [ARGS...]   install what is missing, build, and start Quillmot
#   ./build.sh test            install what is missing, build, check formatting, run every test
#   ./build.sh package         install what is missing, build, and make build/quillmot_*.deb
# Run as root or as a user with sudo (only the package install needs it).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ pkg-config clang-format qt6-base-dev qt6-svg-dev libgl-dev
          libblkid-dev libmount-dev libgtest-dev libgmock-dev
          e2fsprogs dosfstools util-linux ccache desktop-file-utils appstream librsvg2-bin
          dbus-daemon dpkg-dev file lintian openssh-server sshfs)

install_missing() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build build --parallel "$(nproc)"
}

check_format() {
    local bad=() f
    while IFS= read -r f; do
        clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
    done < <(git ls-files -- '*.cpp' '*.h')
    if ((${#bad[@]})); then
        echo "These files are not formatted with the repository's .clang-format:"
        printf '  %s\n' "${bad[@]}"
        echo "Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i"
        return 1
    fi
}

case "${1:-}" in
run)
    shift
    install_missing
    build
    exec build/quillmot "$@"
    ;;
test)
    install_missing
    check_format
    build -DQUILLMOT_WERROR=ON
    cd build
    ctest --output-on-failure --timeout 300 -j2
    ;;
package)
    install_missing
    build
    cd build
    rm -f quillmot_*.deb
    cpack -G DEB
    lintian --fail-on error quillmot_*.deb
    ;;
*)
    echo "usage: $0 run [nowin] | $0 test | $0 package" >&2
    exit 2
    ;;
esac

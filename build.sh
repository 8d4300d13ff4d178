#!/usr/bin/env bash
# Sets up a Debian machine (installing only what is missing), builds Quarzel and runs it.
#   ./build.sh run       build, then start the program
#   ./build.sh test      build, then run every test
#   ./build.sh sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer, run the tests
#   ./build.sh bench     build, then run the processor benchmark
set -euo pipefail
cd "$(dirname "$0")"

packages=(g++ cmake ninja-build libgtest-dev cc65 qt6-base-dev minimodem)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

install_missing
case "${1:-run}" in
run)
    build build -DCMAKE_BUILD_TYPE=Release
    exec build/quarzel "${@:2}"
    ;;
test)
    build build -DCMAKE_BUILD_TYPE=Release
    ctest --test-dir build --output-on-failure
    ;;
sanitize)
    build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARZEL_SANITIZE=ON
    ctest --test-dir build-sanitize --output-on-failure
    ;;
bench)
    build build -DCMAKE_BUILD_TYPE=Release
    build/bench_cpu "${@:2}"
    ;;
*)
    echo "usage: ./build.sh [run|test|sanitize|bench]" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Sets up a Debian machine (installing only what is missing), builds Quarzel and runs it.
#   ./build.sh run       build, then start the program
#   ./build.sh test      build, then run every test
#   ./build.sh sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer, run the tests
#   ./build.sh bench     build, then run the processor benchmark
#   ./build.sh fuzz [S]  build the libFuzzer targets with clang, run each for S seconds (default 60)
#   ./build.sh package   build, then make the Debian package build/quarzel_*.deb
#   ./build.sh windows   cross-build for Windows without the window (build-windows/), run the tests
#                        under Wine
#   ./build.sh web       build the browser page into build-web/ (any static file server serves it)
#   ./build.sh web-serve build it and serve it on http://localhost:8000/
#   ./build.sh web-test  build it and run the browser test in headless Chromium
set -euo pipefail
cd "$(dirname "$0")"

packages=(g++ cmake ninja-build libgtest-dev cc65 qt6-base-dev qt6-multimedia-dev minimodem dpkg-dev file lintian desktop-file-utils
          man-db)

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

# Each target runs from a copy of its seed corpus in a temporary folder; a crash, sanitizer
# report, timeout or running out of memory fails the run, and its input and log are kept in
# build-fuzz/findings/.
fuzz() {
    local seconds=${1:-60} work failed=()
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DQUARZEL_FUZZ=ON >/dev/null
    cmake --build build-fuzz --target fuzz_targets
    work=$(mktemp -d)
    rm -rf build-fuzz/findings
    for seeds in tests/fuzz/corpus/*/; do
        local name; name=$(basename "$seeds")
        mkdir -p "$work/$name/corpus" "$work/$name/findings"
        cp "$seeds"* "$work/$name/corpus/"
        echo "fuzz_$name: $seconds s"
        # TMPDIR: the target's private folder goes too, even when a crash leaves it behind.
        if ! TMPDIR="$work/$name" build-fuzz/tests/fuzz/fuzz_"$name" "$work/$name/corpus" -timeout=5 -rss_limit_mb=2048 \
            -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=3 \
            -artifact_prefix="$work/$name/findings/" </dev/null >"$work/$name/log" 2>&1; then
            failed+=("$name")
            mkdir -p build-fuzz/findings
            cp -r "$work/$name/findings" "build-fuzz/findings/$name"
            cp "$work/$name/log" "build-fuzz/findings/$name/log"
            grep -E '^(==[0-9]+==|SUMMARY|    #[0-9]+ .* in )' "$work/$name/log" | grep -v ' in fuzzer::' | head -25 || true
        fi
    done
    echo "executions per target:"
    for seeds in tests/fuzz/corpus/*/; do
        local name; name=$(basename "$seeds")
        printf '  %-12s %10s runs %6s per second\n' "$name" \
            "$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name/log")" \
            "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$name/log")"
    done
    rm -rf "$work"
    if [ ${#failed[@]} -gt 0 ]; then
        echo "fuzzing found faults in: ${failed[*]} (inputs and logs in build-fuzz/findings/)" >&2
        return 1
    fi
}

# The page takes the ROMs, fonts and layout of the native build. Debian's emscripten finds its
# JavaScript parser among Debian's node modules.
web() {
    build build -DCMAKE_BUILD_TYPE=Release
    export NODE_PATH=/usr/share/nodejs
    emcmake cmake -S . -B build-web-cmake -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARZEL_NATIVE_DIR="$PWD/build" \
        -DQUARZEL_WEB_DIR="$PWD/build-web" >/dev/null
    cmake --build build-web-cmake
}

# The browser test drives Debian's Chromium and Firefox with puppeteer-core from the npm
# registry, kept in build-web-test/ after the first install.
web_test() {
    if [ ! -f build-web-test/node_modules/puppeteer-core/package.json ] ||
        ! grep -q '"version": "24\.' build-web-test/node_modules/puppeteer-core/package.json; then
        mkdir -p build-web-test
        npm install --prefix build-web-test --no-audit --no-fund puppeteer-core@24 >/dev/null
    fi
    NODE_PATH="$PWD/build-web-test/node_modules" node tests/web/browser_test.js build-web
}

[ "${1:-run}" = fuzz ] && packages+=(clang libclang-rt-dev)
[ "${1:-run}" = windows ] && packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
case "${1:-run}" in web*) packages+=(emscripten node-acorn python3) ;; esac
[ "${1:-run}" = web-test ] && packages+=(chromium firefox-esr nodejs)
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
fuzz)
    fuzz "${@:2}"
    ;;
package)
    build build -DCMAKE_BUILD_TYPE=Release
    (cd build && cpack)
    ;;
windows)
    # Wine keeps its Windows in the build folder, made at the first run.
    export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The Wine prefix is made before the build, so that no service Wine starts holds on to the
    # build's output; one server then stays for the whole run and each test starts in a moment.
    mkdir -p "$WINEPREFIX"
    wineserver -p
    trap 'wineserver -k' EXIT
    wineboot -i >/dev/null 2>&1
    build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQUARZEL_GUI=OFF -DCMAKE_BUILD_TYPE=Release
    # A new prefix's first start of the fresh programs can fail to start at all (seen once in CI,
    # not again): one start of each before the tests.
    wine build-windows/quarzel.exe --version >/dev/null 2>&1 || true
    wine build-windows/KCS.com --help >/dev/null 2>&1 || true
    ctest --test-dir build-windows --output-on-failure -j2
    ;;
web)
    web
    ;;
web-serve)
    web
    echo "Quarzel in the browser: http://localhost:8000/"
    exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build-web
    ;;
web-test)
    web
    web_test
    ;;
*)
    echo "usage: ./build.sh [run|test|sanitize|bench|fuzz|package|windows|web|web-serve|web-test]" >&2
    exit 2
    ;;
esac

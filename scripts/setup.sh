#!/usr/bin/env bash
# Installs the Debian packages Tessel needs that are missing, then configures
# and builds it in Release. Prints one short line per step; what apt-get,
# CMake and the compiler print goes to BUILD/setup.log, and only when a step
# fails is the end of its output shown, with the command to retry.
#   scripts/setup.sh [--tests] [BUILD]
#     --tests   the test packages too, and the test suite in the build
#     BUILD     the build folder (default build/)
# A folder that is already configured keeps its own settings (build type,
# compiler launcher, options), except that --tests turns the tests on.
set -euo pipefail

with_tests=0
build_arg=build
for arg in "$@"; do
    case "$arg" in
        --tests) with_tests=1 ;;
        -h | --help) sed -n '2,10s/^# \{0,1\}//p' "$0"; exit 0 ;;
        -*) echo "setup.sh: unknown option $arg (see scripts/setup.sh --help)" >&2; exit 2 ;;
        *) build_arg=$arg ;;
    esac
done
# The build folder as the caller named it, resolved before moving to the source tree.
case "$build_arg" in
    /*) build=$build_arg ;;
    *) build=$PWD/$build_arg ;;
esac
cd "$(dirname "$0")/.."
root=$PWD
shown=${build_arg%/}/

# Debian packages by what they are for, one group a line: who needs them (all,
# or tests for --tests), why, then the packages. Add a package to its group,
# or a new line for a new reason.
wanted=()
declare -A reason_of
need() {
    local scope=$1 reason=$2
    shift 2
    if [[ $scope == tests && $with_tests == 0 ]]; then return; fi
    for package in "$@"; do
        wanted+=("$package")
        reason_of[$package]=$reason
    done
}
need all   "compiler and build tools"                cmake g++ make pkg-config
need all   "windows and OpenGL"                      libx11-dev libxrandr-dev libgl-dev libglew-dev libgl1-mesa-dri
need all   "off-screen OpenGL for tessel-capture"    libegl-dev libegl-mesa0
need all   "maths and image headers"                 libglm-dev libstb-dev
need all   "command-line parsing (CLI11)"            libcli11-dev
need all   "sound and the song"                      libopenal-dev libopenal1 libvorbis-dev
need all   "the live editor's service"               libcivetweb-dev nlohmann-json3-dev
need all   "the song's onsets in the live editor"    libaubio-dev
need all   "video encoding for tessel-capture"       libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
need all   "the editor's filmstrip pictures (JPEG)"    libturbojpeg0-dev
need tests "GoogleTest"                              libgtest-dev libgmock-dev
need tests "private X servers for the window tests"  xvfb xauth x11-utils libxtst-dev
need tests "sound and picture checks"                sox imagemagick
need tests "the fuzz targets (clang with libFuzzer)" clang libclang-rt-14-dev
need tests "the editor page's browser tests"        nodejs chromium

mkdir -p "$build"
log=$build/setup.log
: >"$log"
started=$SECONDS

# "4 s", "2 min 05 s".
duration() {
    local s=$1
    if ((s < 60)); then echo "$s s"; else printf '%d min %02d s\n' $((s / 60)) $((s % 60)); fi
}

# step TITLE COMMAND...: runs the command with its output in the log, on one
# line "TITLE ... done (time)"; on failure the end of its output, the command
# to retry, and the script stops.
step() {
    local title=$1
    shift
    local from at=$SECONDS status=0 command
    printf -v command '%q ' "$@"
    command=${command% }
    printf '%s ... ' "$title"
    echo "=== $title: $command" >>"$log"
    from=$(($(wc -l <"$log") + 1))
    "$@" </dev/null >>"$log" 2>&1 || status=$?
    local took
    took=$(duration $((SECONDS - at)))
    if ((status == 0)); then
        echo "done ($took)"
        return
    fi
    echo "FAILED after $took (exit status $status)"
    echo "The end of its output:"
    tail -n +"$from" "$log" | tail -n 25 | sed 's/^/  | /'
    echo "Retry: $command  (the whole log: $shown${log##*/})"
    exit 1
}

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
    echo "Packages: all ${#wanted[@]} needed are installed"
else
    sudo=()
    if (($(id -u) != 0)); then
        if ! command -v sudo >/dev/null; then
            echo "Packages: ${#missing[@]} are missing and installing them needs root, but sudo is not installed." >&2
            echo "As root, run: apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "Packages: ${#missing[@]} missing, installing them with apt-get${sudo:+ through sudo}:"
    # One line per reason, in the order of the groups above.
    declare -A seen
    for package in "${missing[@]}"; do
        r=${reason_of[$package]}
        [[ -n ${seen[$r]-} ]] && continue
        seen[$r]=1
        names=()
        for p in "${missing[@]}"; do [[ ${reason_of[$p]} == "$r" ]] && names+=("$p"); done
        echo "  $r: ${names[*]}"
    done
    # sudo drops the environment, so the front-end setting goes through env;
    # another apt-get holding the lock is waited for, not failed on.
    apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
    step "Updating the package lists" "${apt[@]}" update -q
    step "Installing the missing packages" "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

tests=OFF
if [[ $with_tests == 1 ]]; then
    tests=ON
    # Playwright for the browser tests, pinned by tests/editor/package-lock.json;
    # installed again only when the lock file differs from the one installed.
    editor_tests=$root/tests/editor
    if ! cmp -s "$editor_tests/package-lock.json" "$editor_tests/node_modules/.installed-lock.json"; then
        step "Installing Playwright for the editor tests" npm ci --prefix "$editor_tests" --no-audit --no-fund
        cp "$editor_tests/package-lock.json" "$editor_tests/node_modules/.installed-lock.json"
    fi
fi
configure=(cmake -S "$root" -B "$build")
if [[ ! -f $build/CMakeCache.txt ]]; then
    configure+=(-DCMAKE_BUILD_TYPE=Release -DTESSEL_BUILD_TESTS=$tests)
elif [[ $tests == ON ]]; then
    configure+=(-DTESSEL_BUILD_TESTS=ON)
fi
step "Configuring $shown$([[ $tests == ON ]] && echo " with the tests")" "${configure[@]}"
jobs=$(nproc)
step "Building in $shown with $jobs jobs" cmake --build "$build" -j "$jobs"

echo "Ready in $(duration $((SECONDS - started))): the show is in ${shown}show/ (log: $shown${log##*/})"

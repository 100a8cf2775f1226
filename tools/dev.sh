#!/usr/bin/env bash
# Builds the editor on Debian 12 and starts it, runs the tests or packs it, installing whatever
# Debian packages are missing first.
#
#   tools/dev.sh run [editor args...]   build, then start BUILD_DIR/vellichord-editor; without a
#                                       Vellichord, start the emulator (and a JACK server
#                                       when the system has no MIDI) for it to talk to
#   tools/dev.sh test [ctest args...]   build, then run every test with ctest
#   tools/dev.sh package                a Release build with Debian's build flags in
#                                       BUILD_DIR (default "build-package" here), then the
#                                       Debian package vellichord-editor_*.deb in it
#
# Environment: BUILD_DIR (default "build", relative paths are taken from the repository root),
# CMAKE_ARGS (extra arguments for the CMake configure step, split on spaces). Qt 6 by default;
# CMAKE_ARGS=-DVELLICHORD_QT_MAJOR=5 builds with Qt 5.15 (and installs its packages instead).
# CTEST_PARALLEL_LEVEL: how many tests run side by side (default: one per core).
#
# .ci/run sources this file for install_packages and the package lists.
set -euo pipefail

# The Qt to build with: the last -DVELLICHORD_QT_MAJOR=N in CMAKE_ARGS, else 6.
qt_major()
{
    local major=6 argument extra=()
    read -r -a extra <<<"${CMAKE_ARGS:-}"
    for argument in "${extra[@]}"; do
        if [[ $argument =~ ^-DVELLICHORD_QT_MAJOR(:STRING)?=([0-9]*)$ ]]; then
            major=${BASH_REMATCH[2]:-6}
        fi
    done
    echo "$major"
}

# The Debian packages of Qt major $1 for building, with the Linguist tools for the
# translations (and with Qt 6 Qt SVG for the scalable icon; qt6-base-dev brings the OpenGL
# headers its CMake files look for), and its translations of Qt's own dialogs.
qt_packages()
{
    case $1 in
    5) echo qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools ;;
    *) echo qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools \
        qt6-svg-dev ;;
    esac
}
qt_translation_packages()
{
    case $1 in
    5) echo qttranslations5-l10n ;;
    *) echo qt6-translations-l10n ;;
    esac
}

# Debian packages. Add new needs here: BASE_PACKAGES for everything, the others for one
# subcommand only. libjack-jackd2-dev is named so that librtmidi-dev does not pull in JACK 1,
# which jackd2 (the tests' JACK server) would remove again together with librtmidi-dev.
# Qt's packages follow CMAKE_ARGS (qt_major), so set it before sourcing this file.
read -r -a QT_PACKAGES <<<"$(qt_packages "$(qt_major)")"
read -r -a QT_TRANSLATION_PACKAGES <<<"$(qt_translation_packages "$(qt_major)")"
BASE_PACKAGES=(cmake g++ make pkg-config "${QT_PACKAGES[@]}" libjack-jackd2-dev
    librtmidi-dev libasound2-dev)
RUN_PACKAGES=("${QT_TRANSLATION_PACKAGES[@]}")
# Without the ALSA sequencer, MIDI on Linux means a JACK server.
if [[ ! -e /dev/snd/seq ]]; then
    RUN_PACKAGES+=(jackd2)
fi
TEST_PACKAGES=(jackd2 xvfb xauth dbus at-spi2-core python3-pyatspi "${QT_TRANSLATION_PACKAGES[@]}")
# dpkg-shlibdeps (dpkg-dev) works out the package's dependencies; CPack finds binaries by file.
PACKAGE_PACKAGES=(dpkg-dev file)

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

apt_updated=false

# Installs those of the given packages that are not installed yet, as root or through sudo.
install_packages()
{
    local pkg status missing=()
    for pkg in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
        if [[ $status != "install ok installed" ]]; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi

    local as_root=()
    if ((EUID != 0)); then
        if ! command -v sudo >/dev/null; then
            echo "dev.sh: need root or sudo to install: ${missing[*]}" >&2
            return 1
        fi
        as_root=(sudo)
    fi
    echo "dev.sh: installing ${missing[*]}"
    if [[ $apt_updated == false ]]; then
        "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
        apt_updated=true
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

build_dir()
{
    local dir=${BUILD_DIR:-${1:-build}}
    if [[ $dir != /* ]]; then
        dir=$REPO_ROOT/$dir
    fi
    echo "$dir"
}

# Configures and builds dir; further arguments go to the build step (e.g. --target).
configure_and_build()
{
    local dir=$1
    shift
    local extra=()
    read -r -a extra <<<"${CMAKE_ARGS:-}"
    # Debug by default so that Q_ASSERT stays on; CMAKE_ARGS may override it.
    cmake -S "$REPO_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Debug "${extra[@]}"
    cmake --build "$dir" -j "$(nproc)" "$@"
}

# Builds the programs in dir as Debian builds its packages (optimised, hardened, stripped by
# CPack), without tests and benchmarks, and packs them. Prints the package's path last.
build_package()
{
    local dir=$1
    local extra=()
    read -r -a extra <<<"${CMAKE_ARGS:-}"
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S "$REPO_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
        -DVELLICHORD_BUILD_TESTS=OFF -DVELLICHORD_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "${extra[@]}"
    cmake --build "$dir" -j "$(nproc)"
    rm -f "$dir"/vellichord-editor_*.deb
    (cd "$dir" && cpack -G DEB)
    ls "$dir"/vellichord-editor_*.deb
}

started_pids=()

# Stops what start_device_if_absent started, the emulator before the server it runs on.
stop_started()
{
    local i
    for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${started_pids[i]}" 2>/dev/null || true
        wait "${started_pids[i]}" 2>/dev/null || true
    done
}

# Gives the editor a device to talk to when none is connected: the emulator, on a JACK server
# with the dummy driver when the system has no MIDI of its own. Says on the terminal what it
# started; everything started is stopped when the editor ends. Their output goes to dir.
start_device_if_absent()
{
    local dir=$1
    trap stop_started EXIT
    trap 'exit 130' INT TERM
    if [[ ! -e /dev/snd/seq && $(jack_wait --check 2>/dev/null) != running ]]; then
        echo "dev.sh: no MIDI system (no ALSA sequencer, no JACK server running):" \
            "starting a JACK server with the dummy driver, log in $dir/jackd.log"
        JACK_NO_AUDIO_RESERVATION=1 jackd --no-realtime -d dummy >"$dir/jackd.log" 2>&1 &
        started_pids+=($!)
        if ! jack_wait --wait --timeout 10 >/dev/null 2>&1; then
            echo "dev.sh: the JACK server did not start, see $dir/jackd.log" >&2
            return 1
        fi
    fi

    local log=$dir/emulator.log
    "$dir/vellichord-emulator" --if-absent >"$log" 2>&1 &
    local pid=$!
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        if grep -q '^Emulating' "$log"; then
            started_pids+=("$pid")
            echo "dev.sh: no Vellichord connected: started vellichord-emulator in its place," \
                "messages in $log"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid" || true
            echo "dev.sh: $(head -n 1 "$log")"
            return 0
        fi
        sleep 0.1
    done
    echo "dev.sh: the emulator did not start, see $log" >&2
    kill "$pid" 2>/dev/null || true
}

usage()
{
    sed -n '2,16s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

main()
{
    local command=${1:-}
    if (($# > 0)); then
        shift
    fi
    local dir
    if [[ $command == package ]]; then
        dir=$(build_dir build-package)
    else
        dir=$(build_dir)
    fi

    case $command in
    run)
        install_packages "${BASE_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
        configure_and_build "$dir" --target vellichord-editor --target vellichord-emulator
        start_device_if_absent "$dir"
        "$dir/vellichord-editor" "$@"
        ;;
    test)
        install_packages "${BASE_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        configure_and_build "$dir"
        # A build that registers no test is a broken build, not a pass.
        ctest --test-dir "$dir" --output-on-failure --no-tests=error \
            -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}" "$@"
        ;;
    package)
        install_packages "${BASE_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
        build_package "$dir"
        ;;
    *)
        usage
        ;;
    esac
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    main "$@"
fi

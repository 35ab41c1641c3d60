# Shared by scripts/run and scripts/test: installs the Debian packages the build needs and
# configures and builds one build folder. Sourced, not run.

kelvora_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the packages that are not installed yet (as root, or through sudo).
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

kelvora_build_packages=(g++ cmake ninja-build pkg-config zlib1g-dev liblzma-dev libmp3lame-dev libgtest-dev libbenchmark-dev
                        libavcodec-dev libavformat-dev libswresample-dev libspeex-dev libarchive-dev libflac-dev
                        nettle-dev
                        nlohmann-json3-dev
                        qt6-base-dev libgl-dev)
# The sanitized build and the fuzz targets: clang with its sanitizer and libFuzzer runtimes.
kelvora_sanitize_packages=(clang libclang-rt-14-dev)
# What the desktop program needs to run beyond its build: a face as narrow as its layouts expect.
kelvora_run_packages=(fonts-liberation2)
# Making and checking the Debian package: dpkg-shlibdeps and file for CPack, lintian, the AppStream
# validator, and bash-completion for the test of kelvora-cli's completion; GNU parallel and jq for
# the test of the README's recipe for many machines.
kelvora_package_packages=(dpkg-dev file lintian appstream bash-completion parallel jq)

# configure_and_build BUILD_DIR [CMAKE_ARGS...]
configure_and_build() {
    local dir="$1"
    shift
    cmake -S "$kelvora_root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

# Sourced by run.sh and test.sh: installs the Debian packages named in "$@" that are missing.
install_missing() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake make g++ qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libqt6sql6-psql libxcb1-dev
    fonts-nanum fonts-dejavu-core)

configure_and_build() { # DIR [TARGET...]: everything when no target is named
    local dir="$1"
    shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# Debian packages the project needs, and a function that installs the missing ones.
# Sourced by tools/check and tools/demo.

LINUX_PACKAGES=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev tmux)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
                  wine64 wine xvfb imagemagick fonts-wine fonts-wqy-microhei xdotool
                  python3-pefile x11-utils fonts-tlwg-loma-ttf)

# install_missing PACKAGE...: installs with apt-get those not installed yet (as root);
# otherwise names them and fails.
install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    if [[ $(id -u) -ne 0 ]]; then
        echo "Missing packages (run as root to install them): ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

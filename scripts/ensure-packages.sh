# Sourced by run.sh and test.sh: installs the Debian packages given as
# arguments when any is missing (as root), or prints the apt-get line to run.

# The packages given that are not installed, separated by spaces.
missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            printf '%s ' "$package"
    done
}

install_packages() {
    echo "Installing: $*"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

ensure_packages() {
    local missing
    read -r -a missing <<<"$(missing_packages "$@")"
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        install_packages "${missing[@]}"
    else
        echo "Missing packages. Install them with:"
        echo "  sudo apt-get install -y ${missing[*]}"
        exit 1
    fi
}

# Like ensure_packages, but for optional parts: returns 1 (and says why)
# instead of stopping when the packages are missing and cannot be installed.
try_packages() {
    local missing
    read -r -a missing <<<"$(missing_packages "$@")"
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing ${missing[*]} (install with: sudo apt-get install -y ${missing[*]})"
        return 1
    fi
    install_packages "${missing[@]}" || { echo "cannot install ${missing[*]}"; return 1; }
}

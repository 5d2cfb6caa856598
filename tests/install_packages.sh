# Sourced by the test run and the demo: install_missing_packages PACKAGE... installs with
# apt-get (as root) those of the named Debian packages that are not installed yet.
install_missing_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return
    fi
    echo "== installing: ${missing[*]}"
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages, and only root can install them: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
}

#!/usr/bin/env bash
# Installs the Debian packages a build needs, and only those that are missing.
# Usage: install-dependencies.sh GROUP...
#   (groups: core windows wine-i686 wine-x86_64 package release-test run
#    chart bench fuzz probe)
# Both Windows builds are always compiled; 32-bit Wine, and the i386
# architecture it needs, come only with wine-i686, for a machine that can
# run 32-bit code (scripts/wine-arch.sh). Fails, with apt's message, only
# when the install fails.
set -euo pipefail

packages_for() {
    case "$1" in
        core)    echo "cmake ninja-build g++ googletest python3" ;;
        windows) echo "g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb" ;;
        wine-i686) echo "wine32:i386" ;;
        wine-x86_64) ;;
        package) echo "git nsis osslsigncode openssl libengine-pkcs11-openssl" ;;
        release-test) echo "softhsm2 p7zip-full python3-yaml binutils" ;;
        run)     echo "imagemagick" ;;
        chart)   echo "python3-matplotlib" ;;
        bench)   echo "libbenchmark-dev" ;;
        fuzz)    echo "clang libclang-rt-14-dev" ;;
        probe)   echo "binutils" ;;
        *)       echo "unknown group: $1" >&2; exit 2 ;;
    esac
}

installed() {
    dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed
}

missing=()
for group in "$@"; do
    for package in $(packages_for "$group"); do
        installed "$package" || missing+=("$package")
    done
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing from Debian's packages: ${missing[*]}"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
added_i386=
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture, which 32-bit Wine needs"
    $sudo dpkg --add-architecture i386
    added_i386=yes
fi

# A mirror in the middle of a sync serves an index that fails its check, for
# a while. After a few tries the lists this machine has must do: the install
# says whether they serve.
updated=
for attempt in 1 2 3; do
    if $sudo apt-get update -q; then updated=yes; break; fi
    [ "$attempt" -eq 3 ] || { echo "apt-get update failed; trying again in 10 s"; sleep 10; }
done
[ -n "$updated" ] || echo "Some package lists could not be updated; installing from the lists this machine has" >&2

if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    # An architecture that brought nothing would only fail every later update.
    if [ -n "$added_i386" ] && ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
        $sudo dpkg --remove-architecture i386
    fi
    echo "Could not install: ${missing[*]} (apt's message above)" >&2
    exit 1
fi

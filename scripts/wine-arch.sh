#!/usr/bin/env bash
# Prints the Windows build whose programs Wine runs on this machine: i686,
# the shipped build, where the kernel executes 32-bit x86 code and 32-bit
# Wine is installed or can be, and x86_64, for 64-bit Wine, where not.
# CORVANE_WINE_ARCH=i686|x86_64 forces either; forced i686 fails when 32-bit
# Wine cannot be installed. The one line that says which and why goes to
# stderr, with whatever apt says.
set -euo pipefail

say() { echo "Under Wine: the $1 build, because $2." >&2; echo "$1"; }

install() { "$(dirname "$0")/install-dependencies.sh" "$@" >&2; }

case "${CORVANE_WINE_ARCH:-}" in
    i686)
        install wine-i686 || {
            echo "CORVANE_WINE_ARCH=i686, but 32-bit Wine could not be installed (apt's message above)" >&2
            exit 1
        }
        say i686 "CORVANE_WINE_ARCH says so"; exit 0 ;;
    x86_64) say x86_64 "CORVANE_WINE_ARCH says so"; exit 0 ;;
    "") ;;
    *) echo "CORVANE_WINE_ARCH must be i686 or x86_64, not $CORVANE_WINE_ARCH" >&2; exit 2 ;;
esac

# The probe is a 32-bit Linux program that only exits: if the kernel runs it,
# it runs 32-bit Wine too.
command -v as >/dev/null && command -v ld >/dev/null || install probe
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$probe/exit.s"
as --32 -o "$probe/exit.o" "$probe/exit.s"
ld -m elf_i386 -o "$probe/exit" "$probe/exit.o"
if ! "$probe/exit" 2>/dev/null; then
    say x86_64 "this machine cannot run 32-bit x86 code, and 64-bit Wine runs the same sources built for x86_64"
elif install wine-i686; then
    say i686 "this machine runs 32-bit x86 code"
else
    say x86_64 "this machine runs 32-bit x86 code, but its package sources could not install 32-bit Wine (apt's message above)"
fi

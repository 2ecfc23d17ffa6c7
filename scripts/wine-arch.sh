#!/usr/bin/env bash
# Prints the Windows build whose programs Wine runs on this machine: i686,
# the shipped build, where the kernel executes 32-bit x86 code, and x86_64,
# for 64-bit Wine, where it does not. CORVANE_WINE_ARCH=i686|x86_64 forces
# either. The one line that says which and why goes to stderr.
set -euo pipefail

say() { echo "Under Wine: the $1 build, because $2." >&2; echo "$1"; }

case "${CORVANE_WINE_ARCH:-}" in
    i686 | x86_64) say "$CORVANE_WINE_ARCH" "CORVANE_WINE_ARCH says so"; exit 0 ;;
    "") ;;
    *) echo "CORVANE_WINE_ARCH must be i686 or x86_64, not $CORVANE_WINE_ARCH" >&2; exit 2 ;;
esac

# The probe is a 32-bit Linux program that only exits: if the kernel runs it,
# it runs 32-bit Wine too.
command -v as >/dev/null && command -v ld >/dev/null || "$(dirname "$0")/install-dependencies.sh" probe >&2
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$probe/exit.s"
as --32 -o "$probe/exit.o" "$probe/exit.s"
ld -m elf_i386 -o "$probe/exit" "$probe/exit.o"
if "$probe/exit" 2>/dev/null; then
    say i686 "this machine runs 32-bit x86 code"
else
    say x86_64 "this machine cannot run 32-bit x86 code, and 64-bit Wine runs the same sources built for x86_64"
fi

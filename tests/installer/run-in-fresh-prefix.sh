#!/usr/bin/env bash
# Runs a command in a fresh Wine prefix of its own, PREFIX, exported as
# WINEPREFIX, and removes it afterwards. The prefix is a copy of TEMPLATE,
# which the first test to need it makes: Wine takes some ten seconds to make
# a prefix, and two to copy one.
# Usage: run-in-fresh-prefix.sh TEMPLATE PREFIX COMMAND...
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-session.sh"

template=$1
prefix=$2
shift 2
if [ ! -e "$template" ]; then
    rm -rf "$template.partial"
    (use_wine_prefix "$template.partial" && trap end_wine_session EXIT && wine wineboot --init && wineserver -w)
    mv "$template.partial" "$template"
fi
rm -rf "$prefix"
trap 'rm -rf "$prefix"' EXIT
cp -a "$template" "$prefix"
export WINEPREFIX=$prefix
"$@"

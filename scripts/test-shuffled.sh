#!/usr/bin/env bash
# Runs the quick Wine tests of a built Windows build ROUNDS times, each round
# in a new random order with its seed printed, two programs at a time as
# make test runs them. A test that needs another's leftovers, or a lucky
# order, shows here; the seed printed plays that order again. Says how many
# rounds were green, and fails unless all were.
# Usage: test-shuffled.sh BUILD_DIR [ROUNDS]   (default 10)
set -euo pipefail

build=$1
rounds=${2:-10}
quick='^(core_tests|property_tests|shell_tests|tray_tests_at_150_percent)$'

green=0
for round in $(seq "$rounds"); do
    # GoogleTest takes seeds from 1 to 99999.
    seed=$(( (RANDOM * 32768 + RANDOM) % 99999 + 1 ))
    echo "Round $round of $rounds: GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed"
    if GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed ctest --test-dir "$build" -R "$quick" -j 2 --output-on-failure; then
        green=$((green + 1))
    else
        echo "Round $round failed; its order again: GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed ctest --test-dir $build -R '$quick'"
    fi
done
echo "$green of $rounds shuffled rounds green in $build"
[ "$green" -eq "$rounds" ]

#!/bin/sh
# Runs one test of the program given, ends the Wine session (the server and
# with it everything volatile), starts a new one as the ctest fixture does,
# and runs the second test:
#   across_new_session.sh <test program> <first test> <second test>
# Runs in the tests' Wine environment (WINEPREFIX and the rest set).
set -e
program=$1 first=$2 second=$3
/usr/lib/wine/wine64 "$program" --gtest_also_run_disabled_tests --gtest_filter="$first" --gtest_brief=1
/usr/lib/wine/wineserver64 -k
/usr/lib/wine/wineserver64 -w
/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
/usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null
exec /usr/lib/wine/wine64 "$program" --gtest_also_run_disabled_tests --gtest_filter="$second" --gtest_brief=1

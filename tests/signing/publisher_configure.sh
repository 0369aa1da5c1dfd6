#!/bin/sh
# The ship preset's configure refuses a build without a release key unless
# the test publisher is asked for, and a build folder keeps its publisher:
#   publisher_configure.sh <source folder>
set -u
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
publishers=$source/.cache/test-publisher

# configure [VARIABLE=value...] -- [cmake argument...]
configure() {
    variables=""
    while [ "$1" != -- ]; do variables="$variables $1"; shift; done
    shift
    env -u TESSARIN_SIGN_KEY -u TESSARIN_SIGN_CERT $variables cmake -S "$source" -B "$scratch/build" -G Ninja \
        --toolchain "$source/cmake/toolchains/x86_64-win32.cmake" -DCMAKE_BUILD_TYPE=Release "$@" \
        >"$scratch/out" 2>&1
}
fail() {
    echo "FAILED: $1"
    cat "$scratch/out"
    exit 1
}

configure -- && fail "configured without a release key"
grep -q "No release publisher" "$scratch/out" || fail "no message naming the missing release key"
configure -- -DTESSARIN_TEST_PUBLISHER=ON || fail "the test publisher asked for was refused"
# The same publisher again, as an automatic re-configure does.
configure -- || fail "a re-configure with the kept publisher was refused"
configure TESSARIN_SIGN_KEY="$publishers/other.key" TESSARIN_SIGN_CERT="$publishers/other.crt" -- &&
    fail "a re-configure with another publisher was accepted"
grep -q "This build folder signs with the publisher" "$scratch/out" || fail "no message naming the kept publisher"
echo "publisher configure: refused without a key, kept its publisher"

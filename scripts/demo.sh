#!/bin/sh
# Builds the native programs and runs the debug loader on a sample command
# line against the stand-in VM, which shows the launch vector it received.
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset native > /dev/null
cmake --build --preset native --target kestrel > /dev/null
echo "\$ ARGS='-classpath /work/classes' kestrel @ARGS Hello world"
ARGS='-classpath /work/classes' build/native/bin/kestrel @ARGS Hello world

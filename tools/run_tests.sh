#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests, a short run of each fuzzer
# over its corpus, and a build of the benchmarks so they cannot rot unnoticed.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset test
cmake --workflow --preset fuzz
cmake --preset bench >/dev/null
cmake --build --preset bench

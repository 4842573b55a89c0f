#!/usr/bin/env bash
# Runs the whole test suite against the build made by scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

ctest --test-dir build --output-on-failure --parallel "$(nproc)"

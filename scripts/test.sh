#!/usr/bin/env bash
# Runs the whole test suite against the build made by scripts/setup.sh, then the
# hardening checks, each in a build folder of its own, built with clang 14:
#   build-asan  the whole suite once more under AddressSanitizer and
#               UndefinedBehaviorSanitizer, LeakSanitizer included;
#   build-tsan  the concurrency test under ThreadSanitizer;
#   build-fuzz  both libFuzzer targets, each for a bounded number of inputs.
# Any sanitizer report, fuzz crash or leak fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc)"

# Each fuzz target runs this many inputs; the time is only a cap for a slow machine.
fuzz_runs=100000
fuzz_max_seconds=300

ctest --test-dir build --output-on-failure --parallel "$jobs"

# The builds recover from no report: the first one ends the program with a failure.
# LeakSanitizer comes with AddressSanitizer; named here so that it stays on.
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# Only a display that doesn't exist guarantees that the framework stays headless.
export DISPLAY=:99999

configure() {
    local dir="$1"
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
        -DTESSARAVON_COPY_TO_VST_FOLDER=OFF "$@"
}

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: the whole suite"
configure build-asan -DTESSARAVON_SANITIZER=address,undefined
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure --parallel "$jobs"

echo "== ThreadSanitizer: the concurrency test"
configure build-tsan -DTESSARAVON_SANITIZER=thread
cmake --build build-tsan -j"$jobs" --target concurrency_tests
build-tsan/tests/concurrency/concurrency_tests

echo "== libFuzzer: $fuzz_runs inputs per target"
configure build-fuzz -DTESSARAVON_FUZZING=ON
cmake --build build-fuzz -j"$jobs" --target processor_fuzzer plugin_fuzzer

# target, parallel jobs, extra libFuzzer flags. New inputs go to a scratch corpus;
# the kept seeds are only read.
fuzz() {
    local target="$1" parallel="$2"
    shift 2
    local root="$PWD" dir="$PWD/build-fuzz/fuzzing/$target" start=$SECONDS
    rm -rf "$dir/logs"
    mkdir -p "$dir/corpus" "$dir/crashes" "$dir/logs"

    # Each job writes its own fuzz-N.log into the folder it runs in.
    (cd "$dir/logs" && "$root/build-fuzz/tests/fuzz/$target" -jobs="$parallel" -workers="$parallel" \
        -runs=$((fuzz_runs / parallel)) -max_total_time="$fuzz_max_seconds" -max_len=1024 \
        -artifact_prefix="$dir/crashes/" "$@" "$dir/corpus" "$root/tests/fuzz/corpus/$target" > driver.log 2>&1) \
        || { tail -n 80 "$dir"/logs/fuzz-*.log; echo "$target: crash, input in $dir/crashes"; exit 1; }

    local executed
    executed=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$dir"/logs/fuzz-*.log | awk '{ n += $1 } END { print n + 0 }')
    echo "$target: $executed inputs in $((SECONDS - start)) s, no crash"
}

fuzz processor_fuzzer 1

# Each of its inputs opens an instance of the plug-in, which is slow under the
# sanitizers: eight jobs share the inputs. Leaks are checked once, at each job's
# exit, instead of after every input that leaves memory allocated.
fuzz plugin_fuzzer 8 -detect_leaks=0

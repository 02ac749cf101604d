#!/usr/bin/env bash
# junit_counts_test.sh JUNIT_COUNTS
# tools/test's counts from ctest's JUnit report, against a scratch project
# whose tests pass, fail, skip, are disabled and cannot start: counted as
# ctest's own summary counts them.
set -u
counter=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/src"
cat >"$tree/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(junit_counts NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "exit 0")
add_test(NAME fails COMMAND sh -c "exit 1")
add_test(NAME skips COMMAND sh -c "exit 77")
set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME disabled COMMAND sh -c "exit 0")
set_tests_properties(disabled PROPERTIES DISABLED TRUE)
add_test(NAME cannot_start COMMAND "${CMAKE_CURRENT_BINARY_DIR}/no-such-program")
CMAKE
if ! cmake -S "$tree/src" -B "$tree/build" >/dev/null; then
  echo "FAILED: the scratch project does not configure"
  exit 1
fi
(cd "$tree/build" && ctest --output-junit "$tree/junit.xml" >/dev/null 2>&1)
got=$(python3 "$counter" "$tree/junit.xml")
if [ "$got" != "1 2 2" ]; then
  echo "FAILED: counted '$got' (passed failed skipped), expected '1 2 2'"
  exit 1
fi
if python3 "$counter" "$tree/missing.xml" >/dev/null 2>&1; then
  echo "FAILED: a missing report counts as read"
  exit 1
fi
echo "junit_counts counts 1 passed, 2 failed (one could not start), 2 skipped (one disabled)"

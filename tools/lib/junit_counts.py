#!/usr/bin/env python3
"""junit_counts.py FILE: prints "PASSED FAILED SKIPPED" for ctest's --output-junit FILE.

Counted as ctest's own summary counts: a skip (SKIP_RETURN_CODE or
SKIP_REGULAR_EXPRESSION) and a disabled test are skipped; a test that could
not start (no executable, a failed fixture) did not pass, so it is failed.
Exits 1 if FILE is missing or unreadable.
"""
import sys
import xml.etree.ElementTree as ET


def counts(path):
    passed = failed = skipped = 0
    for case in ET.parse(path).getroot().iter("testcase"):
        status = case.get("status")
        skip = case.find("skipped")
        if status == "run":
            passed += 1
        elif status == "disabled" or (
            status == "notrun" and skip is not None and skip.get("message", "").startswith("SKIP_")
        ):
            skipped += 1
        else:
            failed += 1
    return passed, failed, skipped


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[0], file=sys.stderr)
        return 2
    try:
        print(*counts(sys.argv[1]))
    except (OSError, ET.ParseError) as e:
        print(f"junit_counts: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Reads what ctest applies to every test of a build and fails when a
property name is not one (a list value that the test discovery split into
names), or when a test that binds the device's fixed ports runs without its
resource lock.

usage: check_test_properties.py CTEST BUILD_DIR LOCK LOCKED_REGEX
"""
import json
import re
import subprocess
import sys


def main(ctest, build_dir, lock, locked_regex):
    shown = subprocess.run([ctest, "--show-only=json-v1"], cwd=build_dir, check=True,
                           capture_output=True, text=True).stdout
    errors = []
    locked = 0
    tests = json.loads(shown)["tests"]
    for test in tests:
        props = {p["name"]: p.get("value") for p in test.get("properties", [])}
        errors += [f"{test['name']}: '{name}' is no test property"
                   for name in props if not re.fullmatch(r"[A-Z_]+", name)]
        if re.search(locked_regex, test["name"]):
            locked += 1
            if lock not in (props.get("RESOURCE_LOCK") or []):
                errors.append(f"{test['name']} runs without the resource lock {lock}")
    if locked == 0:
        errors.append(f"no test matches {locked_regex}")
    print("\n".join(errors) or f"{len(tests)} tests, {locked} under {lock}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

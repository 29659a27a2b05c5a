#!/usr/bin/env python3
"""Runs the README's examples in the order written, as a new user would.

A block to run is a ```sh block right after a comment such as
<!-- example: status=1 expect="some text" -->. Each runs in bash, in one scratch folder, with the
build's programs first on PATH; it must end with the status given (0 when none is), print the
expected text on standard output or error, and leave nothing it started running.

    readme-examples.py README CLI_DIR UNIT_DIR

Runs in a network namespace of its own where one can be made, so that the README's fixed
addresses and ports meet nothing else on the machine.
"""

import os
import re
import shlex
import signal
import subprocess
import sys
import tempfile
import time

BLOCK = re.compile(r"<!-- example:(?P<attrs>.*?)-->\s*\n```sh\n(?P<code>.*?)```", re.S)
INSIDE = "MERVANE_DOCS_INSIDE"


def enter_namespace():
    """Runs this script again in a network namespace of its own with loopback up, if possible."""
    if os.environ.get(INSIDE) == "1":
        return
    candidates = [["unshare", "--user", "--map-root-user", "--net"]]
    if os.geteuid() == 0:
        candidates.insert(0, ["unshare", "--net"])
    for unshare in candidates:
        probe = subprocess.run(unshare + ["ip", "link", "set", "lo", "up"], capture_output=True)
        if probe.returncode == 0:
            env = dict(os.environ, **{INSIDE: "1"})
            command = 'ip link set lo up && exec "$0" "$@"'
            os.execvpe(unshare[0], unshare + ["sh", "-c", command, sys.executable] + sys.argv, env)
    print("no network namespace could be made: running on this machine's loopback")


def examples(readme):
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    for match in BLOCK.finditer(text):
        attrs = dict(word.split("=", 1) for word in shlex.split(match.group("attrs")))
        line = text.count("\n", 0, match.start()) + 1
        yield line, int(attrs.get("status", "0")), attrs.get("expect", ""), match.group("code")


def group_gone(pgid, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            os.killpg(pgid, 0)
        except ProcessLookupError:
            return True
        time.sleep(0.05)
    return False


def run(line, status, expect, code, env, folder):
    shell = subprocess.Popen(["bash", "-c", code], cwd=folder, env=env, start_new_session=True,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        output, _ = shell.communicate(timeout=120)
    except subprocess.TimeoutExpired:
        os.killpg(shell.pid, signal.SIGKILL)
        output, _ = shell.communicate()
        return [f"README line {line}: did not end within 120 s\n{output}"]
    faults = []
    if shell.returncode != status:
        faults.append(f"exit status {shell.returncode}, not {status}")
    if expect not in output:
        faults.append(f"no {expect!r} in its output")
    if not group_gone(shell.pid, 5):
        os.killpg(shell.pid, signal.SIGKILL)
        faults.append("it left a program running")
    return [f"README line {line}: " + "; ".join(faults) + f"\n{output}"] if faults else []


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    readme, cli_dir, unit_dir = (os.path.abspath(arg) for arg in sys.argv[1:])
    enter_namespace()
    env = dict(os.environ, PATH=os.pathsep.join([cli_dir, unit_dir, os.environ["PATH"]]))
    failures, count = [], 0
    with tempfile.TemporaryDirectory() as folder:
        for line, status, expect, code in examples(readme):
            count += 1
            started = time.monotonic()
            found = run(line, status, expect, code, env, folder)
            verdict = "FAILED" if found else "ok"
            print(f"README line {line}: {verdict} ({time.monotonic() - started:.1f} s)", flush=True)
            failures += found
    for failure in failures:
        print(failure)
    if count == 0:
        failures.append("no example found")
        print("no example found in", readme)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

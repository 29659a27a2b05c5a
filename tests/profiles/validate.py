"""docs/profile.schema.json against what it describes: every object the real mervane-cli prints
for `--json read` of simulated units of each kind (times of 0 and 255, an interval outside the
list among them) validates, so do the examples in docs/profiles.md, and none of the documents in
refused.json (which the reader refuses, ProfileTest.cpp) does.

  python3 tests/profiles/validate.py CLI UNIT SOURCE_DIR

The cli sends its identification to UDP port 30718, so the units run on that port, on 127.0.87.x,
which no other test uses. Status 77 (skipped) when the port is taken there.
"""
import json
import pathlib
import re
import subprocess
import sys
import tempfile
import time

try:
    import jsonschema
except ImportError:
    sys.exit("python3-jsonschema is missing; bash scripts/setup.sh installs it")

cli, unit, source = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
schema = json.loads((source / "docs/profile.schema.json").read_text())
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
failures = []


def expect(valid, document, what):
    errors = [e.message for e in validator.iter_errors(document)]
    if valid == bool(errors):
        failures.append(f"{what}: {errors[:1] if errors else 'validates'}: {json.dumps(document)}")


def read_plant(first, options):
    """--json read of five units of a --variety plant (the sixth kind has no automatic ON/OFF)."""
    with tempfile.TemporaryFile("w+") as log:
        plant = subprocess.Popen([unit, "--count", "5", "--variety", "--address", f"127.0.87.{first}",
                                  "--tcp-port", "0", "--quiet", *options], stdout=log, stderr=log)
        try:
            for _ in range(100):
                log.seek(0)
                port = re.search(r"TCP port (\d+)", log.read())
                if port or plant.poll() is not None:
                    break
                time.sleep(0.05)
            if not port:
                log.seek(0)
                text = log.read()
                if "Address already in use" in text:
                    print(f"skipped: UDP port 30718 on 127.0.87.{first} is taken: {text}")
                    sys.exit(77)
                sys.exit(f"the plant did not start: {text}")
            runs = [subprocess.run([cli, "--json", "--port", port.group(1), "read",
                                    f"127.0.87.{first + i}"], capture_output=True, text=True,
                                   timeout=30) for i in range(5)]
            for run in runs:
                if run.returncode != 0:
                    sys.exit(f"{' '.join(run.args)}: status {run.returncode}: {run.stderr}")
            return [run.stdout for run in runs]
        finally:
            plant.terminate()
            plant.wait()


printed = read_plant(1, []) + read_plant(11, ["--times", "0:255", "255:0", "1:1", "7:9",
                                              "--interval", "255", "--mask", "0"])
profiles = [json.loads(text) for text in printed]
for profile in profiles:
    expect(True, profile, "read --json")
if not any(0 in p.get("onTime", []) for p in profiles) or \
        not any("intervalMs" in p and p["intervalMs"] is None for p in profiles):
    failures.append("the plants printed no time of 0 or no intervalMs null")

examples = re.findall(r"```json\n(.*?)```", (source / "docs/profiles.md").read_text(), re.S)
if len(examples) < 3:
    failures.append(f"docs/profiles.md has {len(examples)} json examples, not 3 or more")
for example in examples:
    expect(True, json.loads(example), "docs/profiles.md")

for case in json.loads((source / "tests/profiles/refused.json").read_text()):
    expect(False, case["profile"], case["why"])

print("\n".join(failures) or f"{len(profiles)} read outputs and {len(examples)} examples validate")
sys.exit(1 if failures else 0)

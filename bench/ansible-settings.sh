#!/usr/bin/env bash
# The Ansible collection's settings module with a list of 250 units, against the same apply by
# mervane-cli alone and against Ansible's own start-up (a play running one module that does
# nothing, ansible.builtin.ping, so that the module's own start is counted too), in turn in the
# same run. The units hold the profile from the first apply on, so every measured run does the
# same work: each unit identified and read, nothing written. Prints rows for docs/benchmarks.md.
#
#   bash bench/ansible-settings.sh [--runs N]      (default 10; run by bench/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10
if [ "${1:-}" = --runs ]; then runs=$2; fi
if ! command -v ansible-playbook >/dev/null; then
    echo "(the settings module: no ansible-playbook; scripts/setup.sh installs Debian's ansible-core)"
    exit 0
fi
readonly cli=$PWD/build/default/tools/cli/mervane-cli unit=$PWD/build/default/tools/unit/mervane-unit
readonly units=250 first=127.0.73.1 port=10073  # 127.0.73.1..250: no test uses them

scratch=$(mktemp -d)
plant=""
cleanup() {
    if [ -n "$plant" ]; then kill "$plant" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
# Nothing of Ansible's reaches the user's home.
export HOME=$scratch ANSIBLE_HOME=$scratch/ansible ANSIBLE_LOCAL_TEMP=$scratch/tmp
export ANSIBLE_COLLECTIONS_PATH=$PWD/ansible ANSIBLE_NOCOLOR=1 PYTHONDONTWRITEBYTECODE=1
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_RETRY_FILES_ENABLED=0

"$unit" --count "$units" --address "$first" --tcp-port "$port" --quiet >"$scratch/plant.log" 2>&1 &
plant=$!
for ((i = 1; i <= units; i++)); do echo "127.0.73.$i"; done >"$scratch/hosts"
echo '{"active": true, "enableMask": 3, "onTime": [4, 4], "offTime": [6, 6]}' >"$scratch/profile.json"
cat >"$scratch/noop.yml" <<'PLAY'
- hosts: localhost
  connection: local
  gather_facts: false
  tasks:
    - ansible.builtin.ping:
PLAY
cat >"$scratch/settings.yml" <<PLAY
- hosts: localhost
  connection: local
  gather_facts: false
  tasks:
    - mervane.units.settings:
        address: "{{ lookup('file', '$scratch/hosts').splitlines() }}"
        profile: $scratch/profile.json
        port: $port
        jobs: 16
        cli: $cli
PLAY
apply=("$cli" --json --jobs 16 --port "$port" --hosts "$scratch/hosts" apply --profile
    "$scratch/profile.json" --verify)
# The plant is up once every unit answers; the first apply also gives every unit the profile.
for ((try = 0; try < 50; try++)); do
    if "${apply[@]}" >/dev/null 2>&1; then break; fi
    sleep 0.2
done
"${apply[@]}" >/dev/null || { echo "the plant did not answer"; cat "$scratch/plant.log"; exit 1; }

milliseconds() {  # COMMAND...: prints how long it took, in ms; fails with it
    local start end
    start=$(date +%s%N)
    "$@" >"$scratch/last.out" 2>&1 || { cat "$scratch/last.out" >&2; return 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$scratch/noop.ms"
: >"$scratch/cli.ms"
: >"$scratch/module.ms"
for ((run = 0; run < runs; run++)); do
    milliseconds ansible-playbook -i localhost, "$scratch/noop.yml" >>"$scratch/noop.ms"
    milliseconds "${apply[@]}" >>"$scratch/cli.ms"
    milliseconds ansible-playbook -i localhost, "$scratch/settings.yml" >>"$scratch/module.ms"
    grep -q 'changed=0' "$scratch/last.out" || { echo "the module changed a unit"; exit 1; }
done
noop=$(median <"$scratch/noop.ms")
alone=$(median <"$scratch/cli.ms")
module=$(median <"$scratch/module.ms")
ratio=$(awk -v m="$module" -v n="$noop" -v c="$alone" 'BEGIN { printf "%.3f", (m - n) / c }')
echo "| The settings module, a list of $units units holding the profile, whole ansible-playbook | $units units, 16 at a time |  | $module ms |  | $ratio: (module − start-up) / mervane-cli | ≤ 1.10 |"
echo "| · Ansible's own start-up: a play with one ansible.builtin.ping task (in turn with the rows around it) |  |  | $noop ms |  |  |  |"
echo "| · \`mervane-cli --hosts FILE apply --profile FILE --verify\` alone, whole process | $units units, 16 at a time |  | $alone ms |  |  |  |"

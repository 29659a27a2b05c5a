#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: settings
short_description: Make LAN digital I/O units hold an automatic ON/OFF profile
description:
  - Writes a profile (a unit's automatic ON/OFF settings, the JSON object that
    C(mervane-cli --json read) prints) to one unit or a list of units, through
    C(mervane-cli --json apply). A unit that already holds the profile is written nothing.
  - A list of units is one run of mervane-cli, I(jobs) units at a time; one unit's failure never
    stops the others, and the task fails when any unit failed.
  - In check mode the units are read with C(mervane-cli check) and nothing is written.
  - With C(--diff) every unit that differs shows its values before and the profile's after.
    Outside check mode that costs one more read of each unit.
  - A unit the profile does not fit (per-output times for a unit with one common interval, an
    output the unit lacks, ...) fails with the reason and keeps its settings.
version_added: 1.1.1
author: The Mervane developers
requirements:
  - mervane-cli on the host that runs the task (usually the controller, with a local connection)
options:
  address:
    description:
      - The unit's address or host name, or a list of them.
    type: raw
    required: true
  profile:
    description:
      - Path of a profile file on the host that runs the task.
      - Exactly one of I(profile) and I(settings) is required.
    type: path
  settings:
    description:
      - The profile itself, as a dictionary with the keys of a profile file
        (C(active), C(enableMask), and C(onTime) and C(offTime) or C(intervalMs)).
    type: dict
  state:
    description:
      - C(present) the unit holds the profile, its cycle running or not as the profile's C(active)
        says.
      - C(started) and C(stopped) as C(present), but the unit's cycle runs (does not run)
        whatever the profile's C(active) says.
    type: str
    choices: [present, started, stopped]
    default: present
  verify:
    description:
      - Read every written unit back and fail it when it does not hold what was written.
    type: bool
    default: true
  force:
    description:
      - Write the profile even to units that already hold it.
    type: bool
    default: false
extends_documentation_fragment:
  - mervane.units.units
notes:
  - Supports check mode and diff mode.
seealso:
  - module: mervane.units.info
  - plugin: mervane.units.discover
    plugin_type: inventory
'''

EXAMPLES = r'''
- name: Every unit of the plant runs line 3's cycle
  mervane.units.settings:
    address: "{{ ansible_host }}"
    profile: profiles/line3.json
    state: started
  connection: local

- name: Three units in one run, the profile written inline
  mervane.units.settings:
    address: [192.168.0.20, 192.168.0.21, 192.168.0.22]
    settings:
      active: false
      enableMask: 3
      onTime: [5, 10]
      offTime: [5, 10]
    jobs: 8
  delegate_to: localhost
'''

RETURN = r'''
host:
  description: The unit's address, when I(address) named one unit.
  returned: when address is one unit
  type: str
  sample: 192.168.0.20
verified:
  description: The unit was written and read back as written.
  returned: when address is one unit and it was written with verify
  type: bool
settings:
  description: The unit's settings after the task, as C(mervane-cli --json read) prints them.
  returned: when address is one unit, outside check mode
  type: dict
  sample: {"active": true, "enableMask": 3, "generation": 4, "model": "KX-M19",
           "offTime": [5, 10, 1, 1, 1, 1, 1, 1], "onTime": [5, 10, 1, 1, 1, 1, 1, 1],
           "outputs": 8, "unitId": 0}
differences:
  description: In check mode, what differs, one entry per field (and output for times).
  returned: in check mode
  type: list
  elements: dict
  sample: [{"field": "onTime", "output": 2, "unit": 12, "profile": 10}]
units:
  description:
    - Every unit's outcome by address, when I(address) is a list; each holds C(changed) and,
      as for one unit, C(error), C(verified) or C(differences), but not C(settings)
      (M(mervane.units.info) reads them).
  returned: when address is a list
  type: dict
  sample: {"192.168.0.20": {"changed": true, "verified": true},
           "192.168.0.21": {"changed": false, "error": "通信エラー"}}
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.mervane.units.plugins.module_utils.mervane_cli import (
    CONNECTION_ARGS, addresses, by_host, command, failure_message, failures, run, temp_file)


def profile_path(module):
    """The profile file mervane-cli reads: the task's file, or a temporary one when the task
    gives the settings inline or overrides whether the cycle runs."""
    state = module.params['state']
    if module.params['settings'] is None and state == 'present':
        return module.params['profile']
    settings = module.params['settings']
    if settings is None:
        try:
            with open(module.params['profile'], 'rb') as stream:
                settings = json.loads(stream.read().decode('utf-8'))
        except (IOError, OSError, ValueError) as error:
            module.fail_json(msg='cannot read the profile %s: %s'
                             % (module.params['profile'], error))
        if not isinstance(settings, dict):
            module.fail_json(msg='the profile %s is not a JSON object' % module.params['profile'])
    settings = dict(settings)
    if state != 'present':
        settings['active'] = state == 'started'
    return temp_file(module, json.dumps(settings), '.json')


def unit_diff(host, differences):
    """before/after for Ansible's diff: the unit's values and the profile's, field by field."""
    before, after = {}, {}
    for difference in differences:
        field = difference['field']
        if 'output' in difference:
            key = 'DO%d' % difference['output']
            before.setdefault(field, {})[key] = difference.get('unit')
            after.setdefault(field, {})[key] = difference.get('profile')
        else:
            before[field] = difference.get('unit')
            after[field] = difference.get('profile')
    return dict(before_header=host, after_header=host, before=before, after=after)


def check(module, hosts, profile):
    answer, rc = run(module, command(module, 'check', hosts, '--profile', profile), (0, 1, 3))
    units = by_host(module, hosts, answer)
    outcome = {}
    for host in hosts:
        unit = units[host]
        if 'error' in unit:
            outcome[host] = dict(changed=False, error=unit['error'])
        else:
            differences = unit.get('differences') or []
            outcome[host] = dict(changed=not unit.get('same', not differences),
                                 differences=differences)
    return outcome


def apply(module, hosts, profile):
    args = ['--profile', profile]
    if module.params['verify']:
        args.append('--verify')
    if module.params['force']:
        args.append('--force')
    answer, rc = run(module, command(module, 'apply', hosts, *args))
    units = by_host(module, hosts, answer)
    outcome = {}
    for host in hosts:
        unit = dict(units[host])
        unit.pop('host', None)
        if 'error' in unit:
            outcome[host] = dict(changed=False, error=unit['error'])
            continue
        result = dict(changed=bool(unit.pop('changed', False)))
        if 'verified' in unit:
            result['verified'] = bool(unit.pop('verified'))
        # A list's outcome is what happened to each unit; their settings, hundreds of them, made
        # Ansible's handling of the result cost more than the units' own apply
        # (mervane.units.info reads them).
        if len(hosts) == 1:
            result['settings'] = unit
        outcome[host] = result
    return outcome


def main():
    argument_spec = dict(
        profile=dict(type='path'),
        settings=dict(type='dict'),
        state=dict(type='str', default='present', choices=['present', 'started', 'stopped']),
        verify=dict(type='bool', default=True),
        force=dict(type='bool', default=False),
    )
    argument_spec.update(CONNECTION_ARGS)
    module = AnsibleModule(argument_spec=argument_spec,
                           mutually_exclusive=[('profile', 'settings')],
                           required_one_of=[('profile', 'settings')],
                           supports_check_mode=True)
    if module.params['profile'] and not os.path.isfile(module.params['profile']):
        module.fail_json(msg='no profile file %s' % module.params['profile'])
    hosts, single = addresses(module)
    profile = profile_path(module)

    diffs = {}
    if module.check_mode or module._diff:
        checked = check(module, hosts, profile)
        diffs = dict((host, unit_diff(host, unit['differences']))
                     for host, unit in checked.items() if unit.get('differences'))
    if module.check_mode:
        outcome = checked
    else:
        outcome = apply(module, hosts, profile)
        # Only a unit that was written differed; the others' reads may be stale.
        diffs = dict((host, diff) for host, diff in diffs.items() if outcome[host]['changed'])

    result = dict(changed=any(unit['changed'] for unit in outcome.values()))
    if diffs:
        result['diff'] = [diffs[host] for host in hosts if host in diffs]
    if single:
        result['host'] = hosts[0]
        result.update(outcome[hosts[0]])
        result.pop('error', None)
    else:
        result['units'] = outcome
    failed = failures(outcome)
    if failed:
        module.fail_json(msg=failure_message(failed, len(hosts)), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()

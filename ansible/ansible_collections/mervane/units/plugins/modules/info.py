#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: info
short_description: Read the automatic ON/OFF settings of LAN digital I/O units
description:
  - Reads one unit or a list of units through C(mervane-cli --json read) and returns their
    settings, each the profile object C(mervane-cli --json read) prints. Nothing is written.
  - A list of units is one run of mervane-cli, I(jobs) units at a time; the task fails when any
    unit could not be read, and still returns the others.
version_added: 1.1.1
author: The Mervane developers
requirements:
  - mervane-cli on the host that runs the task
options:
  address:
    description:
      - The unit's address or host name, or a list of them.
    type: raw
    required: true
extends_documentation_fragment:
  - mervane.units.units
notes:
  - Supports check mode; it changes nothing either way.
seealso:
  - module: mervane.units.settings
'''

EXAMPLES = r'''
- name: Keep every unit's settings as a profile on the controller
  mervane.units.info:
    address: "{{ ansible_host }}"
  connection: local
  register: unit

- ansible.builtin.copy:
    content: "{{ unit.settings | to_nice_json }}"
    dest: "profiles/{{ inventory_hostname }}.json"
  delegate_to: localhost

- name: A whole line at once
  mervane.units.info:
    address: [192.168.0.20, 192.168.0.21]
  delegate_to: localhost
  register: line
'''

RETURN = r'''
settings:
  description: The unit's settings, when I(address) named one unit.
  returned: when address is one unit and it was read
  type: dict
  sample: {"active": false, "enableMask": 15, "generation": 4, "model": "KX-M19",
           "offTime": [5, 5, 5, 5, 1, 1, 1, 1], "onTime": [5, 5, 5, 5, 1, 1, 1, 1],
           "outputs": 8, "unitId": 0}
units:
  description: Every unit by address, when I(address) is a list; each its settings, or C(error)
    with the operator message.
  returned: when address is a list
  type: dict
  sample: {"192.168.0.20": {"active": false, "enableMask": 3, "generation": 3,
           "intervalIndex": 4, "intervalMs": 500, "model": "KX-M03G3", "outputs": 5,
           "unitId": 1}}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.mervane.units.plugins.module_utils.mervane_cli import (
    CONNECTION_ARGS, addresses, by_host, command, failure_message, failures, run)


def main():
    module = AnsibleModule(argument_spec=dict(CONNECTION_ARGS), supports_check_mode=True)
    hosts, single = addresses(module)
    answer, rc = run(module, command(module, 'read', hosts))
    units = by_host(module, hosts, answer)
    for unit in units.values():
        unit.pop('host', None)

    result = dict(changed=False)
    if single:
        if 'error' not in units[hosts[0]]:
            result['settings'] = units[hosts[0]]
    else:
        result['units'] = dict((host, units[host]) for host in hosts)
    failed = failures(units)
    if failed:
        module.fail_json(msg=failure_message(failed, len(hosts)), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()

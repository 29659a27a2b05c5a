# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
name: discover
short_description: LAN digital I/O units found by mervane-cli discover
description:
  - Runs C(mervane-cli --json discover) and makes every unit that answers a host, named by its
    address, with C(ansible_host) its address.
  - Each unit gets the host variables C(mervane_type_code), C(mervane_model),
    C(mervane_unit_id), C(mervane_outputs) and C(mervane_active) (and C(mervane_error) when its
    probe failed), and joins a group named after its model (C(KX-M19) becomes C(KX_M19)).
  - The inventory file's name must end in C(.discover.yml) or C(.discover.yaml).
version_added: 1.1.1
author: The Mervane developers
requirements:
  - mervane-cli on the controller
extends_documentation_fragment:
  - constructed
options:
  plugin:
    description: The name of this plugin; makes the file this plugin's.
    required: true
    choices: [mervane.units.discover]
    type: str
  targets:
    description:
      - Addresses, host names and ranges (C(a.b.c.d/n), n = 16..32, or C(a.b.c.d-e)); every
        address of a range is asked directly, which reaches units in routed subnets.
      - Empty, the search broadcasts on each usable adapter (or the I(bind) adapter only).
    type: list
    elements: str
    default: []
  bind:
    description: The local address (adapter) to search from.
    type: str
  port:
    description: The units' TCP port for the probe (mervane-cli's default is 10003).
    type: int
  timeout_ms:
    description: Milliseconds to take replies after the last request (default 2000).
    type: int
  probe:
    description: Probe each unit for its unit id, model, outputs and state.
    type: bool
    default: true
  cli:
    description: The mervane-cli program, a name looked up in C(PATH) or a path.
    type: str
    default: mervane-cli
'''

EXAMPLES = r'''
# plant.discover.yml: the units of two subnets
plugin: mervane.units.discover
targets:
  - 192.168.10.0/24
  - 192.168.11.20-40

# lan.discover.yml: a broadcast on one adapter, units grouped by state as well
plugin: mervane.units.discover
bind: 192.168.10.5
keyed_groups:
  - key: mervane_active
    prefix: active
'''

import json
import os
import shutil
import subprocess

from ansible.errors import AnsibleParserError
from ansible.module_utils.common.text.converters import to_native, to_text
from ansible.plugins.inventory import BaseInventoryPlugin, Constructable

# discover's JSON key -> host variable
VARIABLES = (
    ('typeCode', 'mervane_type_code'),
    ('model', 'mervane_model'),
    ('unitId', 'mervane_unit_id'),
    ('outputs', 'mervane_outputs'),
    ('active', 'mervane_active'),
    ('generation', 'mervane_generation'),
    ('error', 'mervane_error'),
)


class InventoryModule(BaseInventoryPlugin, Constructable):

    NAME = 'mervane.units.discover'

    def verify_file(self, path):
        return super(InventoryModule, self).verify_file(path) and \
            path.endswith(('.discover.yml', '.discover.yaml'))

    def command(self):
        cli = self.get_option('cli')
        found = cli if os.sep in cli else shutil.which(cli)
        if not found:
            raise AnsibleParserError('%s: no such program in PATH' % cli)
        args = [found, '--json']
        for option, key in (('--bind', 'bind'), ('--port', 'port'), ('-T', 'timeout_ms')):
            if self.get_option(key) is not None:
                args += [option, str(self.get_option(key))]
        args.append('discover')
        if not self.get_option('probe'):
            args.append('--no-probe')
        return args + [t for t in self.get_option('targets') if t]

    def units(self):
        args = self.command()
        try:
            done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  check=False)
        except OSError as error:
            raise AnsibleParserError('cannot run %s: %s' % (args[0], to_native(error)))
        stderr = to_text(done.stderr, errors='surrogate_or_strict').strip()
        # Exit status 1 (no unit answered, or a probe failed) still lists what was found.
        try:
            units = json.loads(to_text(done.stdout, errors='surrogate_or_strict'))
        except ValueError:
            units = None
        if done.returncode not in (0, 1) or not isinstance(units, list):
            raise AnsibleParserError('%s failed (exit status %d): %s'
                                     % (' '.join(args), done.returncode, stderr))
        if not units:
            self.display.warning('mervane-cli discover found no unit%s'
                                 % (': ' + stderr if stderr else ''))
        return units

    def parse(self, inventory, loader, path, cache=True):
        super(InventoryModule, self).parse(inventory, loader, path, cache)
        self._read_config_data(path)
        strict = self.get_option('strict')
        for unit in self.units():
            host = unit.get('address')
            if not host:
                continue
            self.inventory.add_host(host)
            self.inventory.set_variable(host, 'ansible_host', host)
            for key, variable in VARIABLES:
                if key in unit:
                    self.inventory.set_variable(host, variable, unit[key])
            if unit.get('model'):
                group = self.inventory.add_group(self._sanitize_group_name(unit['model']))
                self.inventory.add_child(group, host)
            hostvars = self.inventory.get_host(host).get_vars()
            self._set_composite_vars(self.get_option('compose'), hostvars, host, strict)
            self._add_host_to_composed_groups(self.get_option('groups'), hostvars, host, strict)
            self._add_host_to_keyed_groups(self.get_option('keyed_groups'), hostvars, host,
                                           strict)

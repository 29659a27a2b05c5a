# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # How every module reaches the units through mervane-cli.
    DOCUMENTATION = r'''
options:
  bind:
    description:
      - The local address to talk from.
    type: str
  port:
    description:
      - The units' TCP port (mervane-cli's default is 10003).
    type: int
  timeout_ms:
    description:
      - Milliseconds to wait for a unit's identification reply, 1 to 19999 (default 2000).
    type: int
  jobs:
    description:
      - Units worked on at a time, 1 to 256 (default 16).
    type: int
  cli:
    description:
      - The mervane-cli program, a name looked up in C(PATH) or a path.
    type: str
    default: mervane-cli
'''

# -*- coding: utf-8 -*-
# Shared by the collection's modules: every unit is reached through one run of mervane-cli --json,
# which does the work; this only builds its command line and sorts its answer by unit.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import tempfile

from ansible.module_utils.six import string_types

# Beyond this many units the hosts go in a --hosts file rather than on the command line.
HOSTS_ON_COMMAND_LINE = 64

CONNECTION_ARGS = dict(
    address=dict(type='raw', required=True),
    bind=dict(type='str'),
    port=dict(type='int'),
    timeout_ms=dict(type='int'),
    jobs=dict(type='int'),
    cli=dict(type='str', default='mervane-cli'),
)


def addresses(module):
    """The units asked for, and whether the task named one unit rather than a list."""
    value = module.params['address']
    if isinstance(value, string_types):
        return [value], True
    if isinstance(value, (list, tuple)) and value and \
            all(isinstance(a, string_types) for a in value):
        # Named twice, worked on once, as mervane-cli does.
        return list(dict.fromkeys(a.strip() for a in value)), False
    module.fail_json(msg='address must be a unit address or a non-empty list of them')


def cli_path(module):
    cli = module.params['cli']
    if os.sep in cli:
        if not os.access(cli, os.X_OK):
            module.fail_json(msg='%s is not an executable program' % cli)
        return cli
    return module.get_bin_path(cli, required=True)


def temp_file(module, text, suffix):
    handle, path = tempfile.mkstemp(prefix='mervane-', suffix=suffix, dir=module.tmpdir)
    with os.fdopen(handle, 'w') as stream:
        stream.write(text)
    return path


def command(module, name, hosts, *command_args):
    """mervane-cli's argument list for one run of NAME over HOSTS."""
    args = [cli_path(module), '--json']
    for option, key in (('--bind', 'bind'), ('--port', 'port'), ('-T', 'timeout_ms'),
                        ('--jobs', 'jobs')):
        if module.params.get(key) is not None:
            args += [option, str(module.params[key])]
    if len(hosts) > HOSTS_ON_COMMAND_LINE:
        args += ['--hosts', temp_file(module, '\n'.join(hosts) + '\n', '.hosts')]
        hosts = []
    # A host that starts with '-' would read as an option.
    bad = [h for h in hosts if not h or h.startswith('-')]
    if bad:
        module.fail_json(msg='not a unit address: %r' % bad[0])
    return args + [name] + list(command_args) + hosts


def run(module, args, exit_codes=(0, 1)):
    """Runs mervane-cli and returns its JSON answer as a list of per-unit objects."""
    rc, out, err = module.run_command(args)
    if rc not in exit_codes:
        module.fail_json(msg=err.strip() or 'mervane-cli failed with exit status %d' % rc,
                         rc=rc, stdout=out, stderr=err, cmd=args)
    if rc == 1 and not out.strip():
        # One unit that failed: its operator message is all mervane-cli says.
        lines = [line for line in err.splitlines() if line.strip()] or ['exit status 1']
        message = lines[-1]
        if message.startswith('mervane-cli: '):
            message = message[len('mervane-cli: '):]
        return [dict(error=message)], rc
    try:
        answer = json.loads(out)
    except ValueError:
        module.fail_json(msg=err.strip() or 'mervane-cli printed no JSON', rc=rc, stdout=out,
                         stderr=err, cmd=args)
    return answer if isinstance(answer, list) else [answer], rc


def by_host(module, hosts, answer):
    """The unit objects keyed by the address the task named.

    mervane-cli works on a unit named twice once, and a single unit's object may carry no host,
    so the objects are matched by their "host" and the lone unit takes the only address."""
    found = {}
    for unit in answer:
        host = unit.get('host', hosts[0] if len(hosts) == 1 else None)
        if host is None:
            module.fail_json(msg='mervane-cli answered for a unit without naming it', answer=answer)
        found[host] = unit
    missing = [h for h in hosts if h not in found]
    for host in missing:
        found[host] = dict(host=host, error='mervane-cli gave no answer for this unit')
    return found


def failures(units):
    return dict((host, unit['error']) for host, unit in units.items() if 'error' in unit)


def failure_message(failed, total):
    if total == 1:
        return next(iter(failed.values()))
    return '%d of %d units failed: %s' % (
        len(failed), total, '; '.join('%s: %s' % item for item in failed.items()))

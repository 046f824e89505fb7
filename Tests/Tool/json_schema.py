"""Checks bmptool's JSON (stdin) against the keys the manual page (argv[1]) documents.

Every key of every object, as a dotted path (masks.red), must be documented
with its type; prints what does not match and exits 1, or prints nothing.
"""
import json
import re
import sys

TYPES = {str: "string", bool: "boolean", int: "integer", dict: "object", list: "array", type(None): "null"}


def documented(manual):
    section = manual.split(".SH JSON OUTPUT", 1)[1].split(".SH ", 1)[0]
    return {key: set(types.split(", ")) for key, types in re.findall(r'^\.BR (\S+) " \(([a-z, ]+)\)"$', section, re.M)}


def walk(value, path, found):
    for key, member in value.items():
        name = path + key
        found.append((name, TYPES[type(member)]))
        if isinstance(member, dict):
            walk(member, name + ".", found)


schema = documented(open(sys.argv[1], encoding="utf-8").read())
problems = set()
for entry in json.load(sys.stdin):
    found = []
    walk(entry, "", found)
    problems.update(f"{key}: {kind}" for key, kind in found if kind not in schema.get(key, ()))
print("\n".join(sorted(problems)), end="")
sys.exit(1 if problems else 0)

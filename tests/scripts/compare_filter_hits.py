#!/usr/bin/env python3
"""Compares where SpamAssassin's engine fires the exported full rules with
where junkloupe-cli finds their items, message by message.

    compare_filter_hits.py JUNKLOUPE_CLI RULES SPAMASSASSIN_TSV JUNKLOUPE_TSV

SPAMASSASSIN_TSV: "FILE<TAB>RULE,RULE,..." per message; JUNKLOUPE_TSV:
"FILE<TAB>ITEM<US>ITEM<US>..." per message (US = 0x1f, items as hits --format
tsv writes them). Every difference is printed with its reason; the exit status
is 1 when one has no known reason (or nothing was found at all)."""
import re
import subprocess
import sys

cli, rules, by_spamassassin, by_junkloupe = sys.argv[1:]

# The item of each rule: its pattern is the item with every byte but letters
# and digits written \xHH.
item_of = {}
for m in re.finditer(r"^full +(JL_\d+\S*) /(.*)/i$", open(rules, encoding="utf-8").read(), re.M):
    item_of[m.group(1)] = re.sub(rb"\\x([0-9a-f]{2})", lambda x: bytes([int(x.group(1), 16)]),
                                 m.group(2).encode())
rule_of = {item: rule for rule, item in item_of.items()}

fired = {}
for line in open(by_spamassassin, encoding="utf-8"):
    name, _, hit = line.rstrip("\n").partition("\t")
    fired[name] = set(filter(None, hit.split(",")))
found = {}
for line in open(by_junkloupe, "rb"):
    name, _, items = line.rstrip(b"\n").partition(b"\t")
    found[name.decode()] = {rule_of[i.replace(b"\\\\", b"\\")] for i in items.split(b"\x1f") if i}


def why(name, rule, junkloupe_only):
    """The reason the two differ, or None when there is none we know."""
    item = item_of[rule].lower()
    raw = open(name, "rb").read().lower()
    first, _, rest = raw.partition(b"\n")
    if junkloupe_only and first.startswith(b"from ") and item in first and item not in rest:
        return "the item is only on the mbox 'From ' line, which SpamAssassin drops"
    if any(b < 0x20 or b > 0x7a for b in item):
        return "the item holds bytes that the view leaves out, so junkloupe-cli never finds it"
    view = subprocess.run([cli, "view", "-f", "2", name], capture_output=True).stdout.lower()
    if junkloupe_only and item in view and item not in raw:
        return "bytes that the view leaves out stand between the item's characters"
    return None


unexplained = 0
for name in sorted(found):
    for rule in sorted(found[name] ^ fired.get(name, set())):
        junkloupe_only = rule in found[name]
        reason = why(name, rule, junkloupe_only)
        side = "junkloupe-cli only" if junkloupe_only else "SpamAssassin only"
        print(f"differs: {rule} in {name} ({side}): {reason or 'UNEXPLAINED'}")
        unexplained += reason is None
pairs = sum(len(v) for v in found.values())
print(f"{len(item_of)} rules over {len(found)} messages: {pairs} item-message pairs, "
      f"{unexplained} unexplained differences")
sys.exit(1 if unexplained or not pairs else 0)

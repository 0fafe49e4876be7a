#!/usr/bin/env python3
"""The independent side of the MIME decoder's differential test.

Reads paths from standard input (one per line) and prints, per message, one
line of JSON with the decoded text of every text part as Python's standard
email package reads it (policy.default, get_content()):

  {"path": P, "defects": [D...], "parts": [PART...]}
  PART: {"type": T, "charset": C, "text": TEXT}
        ("error": E instead of "text" where Python cannot decode the part)

defects names every defect Python found in the message or its parts. A
message Python cannot read at all is {"path": P, "error": E}.

GMime reads only message/rfc822 (and message/news, message/global) bodies as
messages; a message/delivery-status or message/external-body part is one part
of lines to it. Python splits such bodies into blocks of fields and hands each
out as a text/plain part of its own; those are left out here, so that both
sides list the same parts."""
import email
import email.policy
import json
import sys


def text_parts(message, parts, defects):
    defects.extend(type(d).__name__ for d in message.defects)
    if message.get_content_maintype() == "message" and message.get_content_subtype() not in (
        "rfc822", "news", "global"):
        return
    if message.is_multipart():
        for part in message.get_payload():
            text_parts(part, parts, defects)
        return
    if message.get_content_maintype() != "text":
        return
    entry = {
        "type": message.get_content_type(),
        "charset": message.get_param("charset") or "",
    }
    try:
        entry["text"] = message.get_content()
    except Exception as e:  # an unknown charset, for one
        entry["error"] = "%s: %s" % (type(e).__name__, e)
    parts.append(entry)


def main():
    for line in sys.stdin:
        path = line.rstrip("\n")
        if not path:
            continue
        try:
            with open(path, "rb") as f:
                message = email.message_from_binary_file(f, policy=email.policy.default)
            parts, defects = [], []
            text_parts(message, parts, defects)
            record = {"path": path, "defects": sorted(set(defects)), "parts": parts}
        except Exception as e:  # a message Python cannot read is named, not fatal
            record = {"path": path, "error": "%s: %s" % (type(e).__name__, e)}
        sys.stdout.write(json.dumps(record) + "\n")


main()

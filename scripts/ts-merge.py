#!/usr/bin/env python3
"""Merges translation files message by message: a git merge driver.

    ts-merge.py <base> <ours> <theirs>   (writes the result into <ours>)

Each context keeps our messages in their order and gains theirs that we lack
(matched by source text); contexts only they have are added at the end. A
message both sides translate differently keeps ours and fails the merge.
"""
import sys
import xml.etree.ElementTree as ET


def load(path):
    try:
        return ET.parse(path).getroot()
    except (ET.ParseError, FileNotFoundError):
        return None


def contexts(root):
    return {c.findtext("name"): c for c in root.findall("context")}


def messages(context):
    return {m.findtext("source"): m for m in context.findall("message")}


def write(root, path):
    ET.indent(root, space="    ")
    # Contexts start at the margin, as lupdate writes them.
    lines = ET.tostring(root, encoding="unicode").split("\n")
    body = "\n".join(line[4:] if line.startswith("    ") else line for line in lines)
    with open(path, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n' + body + "\n")


def main():
    _, ours_path, theirs_path = sys.argv[1:4]
    ours, theirs = load(ours_path), load(theirs_path)
    if ours is None or theirs is None:
        return 1
    clash = False
    ours_contexts = contexts(ours)
    for name, their_context in contexts(theirs).items():
        our_context = ours_contexts.get(name)
        if our_context is None:
            ours.append(their_context)
            continue
        ours_messages = messages(our_context)
        for source, message in messages(their_context).items():
            mine = ours_messages.get(source)
            if mine is None:
                our_context.append(message)
            elif mine.findtext("translation") != message.findtext("translation"):
                clash = True
                sys.stderr.write("translation clash in %s: %s\n" % (name, source))
    write(ours, ours_path)
    return 1 if clash else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the string table of every language library as a UTF-8 .rc file.

    po_to_rc.py <locales.tsv> <folder of the .po files> <output folder>

One <language>.rc per language file that locales.tsv names. Each entry's
msgctxt is the string identifier and its msgstr the text; an empty or fuzzy
msgstr falls back to the English msgid, as gettext does. The first (lowest)
identifier of a language in the list names the language of its resources.
A file whose text is unchanged is left alone, so nothing downstream rebuilds.
"""
import ast
import os
import sys


def read_po(path):
    entries, entry, key, fuzzy = [], {}, None, False
    for line in open(path, encoding="utf-8"):
        line = line.strip()
        if line.startswith("#,") and "fuzzy" in line:
            fuzzy = True
        elif line.startswith('"') and key:
            entry[key] += ast.literal_eval(line)
        elif line.split(" ", 1)[0] in ("msgctxt", "msgid", "msgstr"):
            key, text = line.split(" ", 1)
            if key != "msgstr" and "msgstr" in entry:
                entries.append(entry)
                entry = {}
            entry[key], entry["fuzzy"] = ast.literal_eval(text), fuzzy
        elif not line:
            key, fuzzy = None, False
    return entries + [entry] if entry else entries


def rc_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""').replace("\n", "\\n") + '"'


def rc_file(po, lcid):
    lines = [f"// Generated from {os.path.basename(po)}; edit that file instead.",
             f"LANGUAGE {lcid & 0x3FF:#x}, {lcid >> 10:#x}", "", "STRINGTABLE", "BEGIN"]
    for e in read_po(po):
        if "msgctxt" in e:  # not the header
            text = e["msgstr"] if e["msgstr"] and not e["fuzzy"] else e["msgid"]
            lines.append(f"  {int(e['msgctxt'])} {rc_text(text)}")
    return "\n".join(lines + ["END", ""])


def main(tsv, po_dir, out_dir):
    first_lcid = {}
    for row in open(tsv, encoding="utf-8"):
        if row[:1].isdigit():
            lcid, _, language = row.rstrip("\n").split("\t")
            first_lcid.setdefault(language, int(lcid))
    os.makedirs(out_dir, exist_ok=True)
    for language, lcid in first_lcid.items():
        text = rc_file(os.path.join(po_dir, language + ".po"), lcid)
        rc = os.path.join(out_dir, language + ".rc")
        if not os.path.exists(rc) or open(rc, encoding="utf-8").read() != text:
            with open(rc, "w", encoding="utf-8") as out:
                out.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])

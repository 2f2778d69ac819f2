#!/usr/bin/env python3
# Merges a merge module into an installer the way Windows' merge tool does (Wine
# has no mergemod.dll and wixl cannot merge):
# msm_merge.py <product.msi> <module.msm> <feature> <directory>
# The module's tables join the product's, its root folders hang under <directory>,
# its components join <feature>, the actions of its Module*Sequence tables that the
# product lacks join the sequences, and its cabinet becomes the product's next
# medium, numbered after the product's files.
import os, subprocess, sys, tempfile
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../packaging"))
from msm import msiinfo, read_table, write_idt  # the module builder's table reader and writer

msi, msm, feature, directory = sys.argv[1:]
present, merged = set(msiinfo("tables", msi).decode().split()), {}
for name in (n for n in msiinfo("tables", msm).decode().split() if not n.startswith("_")):
    module = read_table(msm, name)
    target = name.replace("Module", "", 1) if name.endswith("Sequence") else name
    table, rows = read_table(msi, target) if target in present else dict(module, rows=[]), module["rows"]
    if name == "Directory":  # the product has its own TARGETDIR
        rows = [[r[0], directory if r[1] == "TARGETDIR" else r[1], r[2]] for r in rows if r[0] != "TARGETDIR"]
    if target != name:  # Action, Condition, Sequence; an action's place is its own or next to its base action's
        at = {r[0]: int(r[2]) for r in table["rows"]}
        rows = [[r[0], r[4], r[1] or str(at[r[2]] + (1 if r[3] == "1" else -1))] for r in rows if r[0] not in at]
    merged[target] = dict(table, rows=table["rows"] + rows)

media = merged["Media"] = read_table(msi, "Media")
last = max(int(r[1]) for r in media["rows"])
files = len(read_table(msm, "File")["rows"])  # File: ..., Attributes, Sequence
merged["File"]["rows"][-files:] = [r[:7] + [str(int(r[7]) + last)] for r in merged["File"]["rows"][-files:]]
media["rows"].append([str(max(int(r[0]) for r in media["rows"]) + 1), str(last + files), "", "#velko_msm.cab", "", ""])
merged["FeatureComponents"]["rows"] += [[feature, r[0]] for r in read_table(msm, "ModuleComponents")["rows"]]
with tempfile.TemporaryDirectory() as work:
    open(f"{work}/cab", "wb").write(msiinfo("extract", msm, "MergeModule.CABinet"))
    for name, table in merged.items():
        write_idt(work, name, table)
    subprocess.run(["msibuild", msi, "-a", "velko_msm.cab", f"{work}/cab", *(a for n in merged for a in ("-i", f"{work}/{n}.idt"))],
                   check=True)

#!/usr/bin/env python3
"""Turns the installer wixl built from VELKO.wxs with every Id suffixed into VELKO's
merge module (wixl authors products only).

    msm.py <in.msi> <out.msm> <module GUID> <version> <x86|x64>

The input is a product whose keys already end in "." and the module GUID with
underscores (wixl writes them as VELKO.wxs names them, with the suffix it is given).
The module keeps the product's component tables and drops what only a product
has: Feature, Media, Upgrade, Property (ProductCode and the rest) and the
sequences, which a module has as Module*Sequence tables. It then
  - suffixes the keys wixl makes up itself (the Registry table's),
  - sequences the standard actions the tables need in ModuleInstallExecuteSequence
    and ModuleInstallUISequence,
  - points a predefined folder's suffixed row (ProgramFilesFolder.<GUID>) at the
    folder with a type 51 action at sequence 1, so that the module installs where
    the MSI does without a Directory row that collides with the product's,
  - adds ModuleSignature (one row, with the version) and ModuleComponents (one row
    per component), and an empty FeatureComponents for the merge tool to fill,
  - carries wixl's cabinet, whose entries are named after the File keys, as the
    MergeModule.CABinet stream,
  - writes the summary information a module has: Template "Intel;1033" or
    "x64;1033", Revision the module GUID.
It stops, writing nothing, when a key is left without the suffix (TARGETDIR and
the standard actions are Windows' own names) or when the cabinet and the File table disagree.
"""
import os
import struct
import subprocess
import sys
import tempfile

PRODUCT_ONLY = {"Feature", "FeatureComponents", "Media", "Property", "Upgrade", "LaunchCondition", "InstallExecuteSequence",
                "InstallUISequence", "AdminExecuteSequence", "AdminUISequence", "AdvtExecuteSequence",
                "_SummaryInformation", "_ForceCodepage"}
SEQUENCE = (["Action", "Sequence", "BaseAction", "After", "Condition"], ["s72", "I2", "S72", "I2", "S255"])
# The actions that serve only what a module drops: upgrades and launch conditions.
UPGRADE_ACTIONS = {"FindRelatedProducts", "LaunchConditions", "MigrateFeatureStates", "RemoveExistingProducts"}


def msiinfo(*args):
    return subprocess.run(["msiinfo", *args], check=True, capture_output=True).stdout


def read_table(msi, name):
    lines = msiinfo("export", msi, name).decode("utf-8").split("\r\n")
    header = [line.split("\t") for line in lines[:3]]
    rows = [line.split("\t") for line in lines[3:] if line]
    return {"columns": header[0], "types": header[1], "keys": header[2][1:],
            "rows": [row + [""] * (len(header[0]) - len(row)) for row in rows]}  # msiinfo drops trailing nulls


def write_idt(folder, name, table):
    with open(os.path.join(folder, name + ".idt"), "w", encoding="utf-8", newline="") as f:
        for line in [table["columns"], table["types"], [name, *table["keys"]], *table["rows"]]:
            f.write("\t".join(line) + "\r\n")


def column(table, name):
    return table["columns"].index(name)


def cabinet_entries(cab):
    assert cab[:4] == b"MSCF", "not a cabinet"
    offset, count, flags = struct.unpack_from("<I", cab, 16)[0], *struct.unpack_from("<HH", cab, 28)
    names = []
    for _ in range(count):
        end = cab.index(b"\0", offset + 16)
        names.append(cab[offset + 16:end].decode("utf-8"))
        offset = end + 1
    return names


def main(msi, out, guid, version, arch):
    suffix = "." + guid.upper().replace("-", "_")
    module_id = "VELKO" + suffix
    tables = {}
    for name in msiinfo("tables", msi).decode().split():
        if name not in PRODUCT_ONLY:
            table = read_table(msi, name)
            if table["rows"]:
                tables[name] = table

    registry, component = tables["Registry"], tables["Component"]
    renamed = {row[0]: row[0] + suffix for row in registry["rows"] if not row[0].endswith(suffix)}
    for row in registry["rows"]:
        row[0] = renamed.get(row[0], row[0])
    keypath = column(component, "KeyPath")
    for row in component["rows"]:
        row[keypath] = renamed.get(row[keypath], row[keypath])

    actions = []
    for row in tables["Directory"]["rows"]:
        folder = row[0][:-len(suffix)]
        if row[1] == "TARGETDIR" and folder.endswith("Folder"):  # a predefined folder's alias
            actions.append([row[0], "51", row[0], f"[{folder}]", ""])
    tables["CustomAction"] = {"columns": ["Action", "Type", "Source", "Target", "ExtendedType"],
                              "types": ["s72", "i2", "S72", "S255", "I4"], "keys": ["Action"], "rows": actions}
    standard_actions = set()
    for name in "InstallExecuteSequence", "InstallUISequence":
        # wixl sequences exactly the standard actions its tables need (a product
        # without registry entries has no WriteRegistryValues); the module brings
        # them, and the merge tool adds those the product lacks.
        standard = [[r[0], r[2], "", "", r[1]] for r in read_table(msi, name)["rows"] if r[0] not in UPGRADE_ACTIONS]
        standard_actions |= {r[0] for r in standard}
        tables["Module" + name] = {"columns": SEQUENCE[0], "types": SEQUENCE[1], "keys": ["Action"],
                                   "rows": standard + [[a[0], "1", "", "", ""] for a in actions]}
    tables["ModuleSignature"] = {"columns": ["ModuleID", "Language", "Version"], "types": ["s72", "i2", "s32"],
                                 "keys": ["ModuleID", "Language"], "rows": [[module_id, "1033", version]]}
    tables["ModuleComponents"] = {"columns": ["Component", "ModuleID", "Language"], "types": ["s72", "s72", "i2"],
                                  "keys": ["Component", "ModuleID", "Language"],
                                  "rows": [[row[0], module_id, "1033"] for row in component["rows"]]}
    tables["FeatureComponents"] = {"columns": ["Feature_", "Component_"], "types": ["s38", "s72"],
                                   "keys": ["Feature_", "Component_"], "rows": []}

    for name, table in tables.items():
        for row in table["rows"]:
            for key in table["keys"]:
                value = row[column(table, key)]
                exempt = value == "TARGETDIR" or key == "Language" or value in standard_actions  # Windows' own names
                if not value.endswith(suffix) and not exempt:
                    sys.exit(f"msm: {name} key {key} = {value!r} lacks the module suffix")

    media = read_table(msi, "Media")["rows"]
    if len(media) != 1 or not media[0][3].startswith("#"):
        sys.exit("msm: expected one cabinet in the installer")
    cab = msiinfo("extract", msi, media[0][3][1:])
    files = sorted(tables["File"]["rows"], key=lambda row: int(row[column(tables["File"], "Sequence")]))
    if cabinet_entries(cab) != [row[0] for row in files]:
        sys.exit("msm: the cabinet's entries are not the File keys in sequence order")

    with tempfile.TemporaryDirectory() as work:
        for name, table in tables.items():
            write_idt(work, name, table)
        with open(os.path.join(work, "cab"), "wb") as f:
            f.write(cab)
        if os.path.exists(out):
            os.remove(out)
        # Tables in name order: the same input gives the same bytes.
        imports = [arg for name in sorted(tables) for arg in ("-i", os.path.join(work, name + ".idt"))]
        subprocess.run(["msibuild", out, *imports, "-a", "MergeModule.CABinet", os.path.join(work, "cab"),
                        "-s", "VELKO merge module", "The VELKO authors", ("x64" if arch == "x64" else "Intel") + ";1033",
                        "{" + guid.upper() + "}"], check=True)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])

#!/usr/bin/env python3
"""Writes the SPDX 2.3 bill of materials (JSON) of one VELKO package.

    sbom.py --out <file.spdx.json> --package <file name> --version <x.y.z>
            --epoch <seconds> --link-map <VELKO.dll's link map> --license <LICENSE>
            [--checksum-of <package file>] <file>=<name in the package> ...

It describes VELKO (version, MIT, the SHA-1 and SHA-256 of each file given) and
each runtime library that the link map shows linked into VELKO.dll: the runtime's
version is that of the Debian package that installed the archive or object on this
machine, and its licence expression says what Debian's copyright file declares for
it. Licences without an SPDX identifier carry their text from that file. A linked
file that belongs to no runtime known here stops the build: nothing ships with an
unlicensed part. --checksum-of adds the package file's own SHA-256 (the installer;
an archive cannot hold its own). Output is the same for the same inputs.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import urllib.parse
import uuid

# The runtimes a MinGW-w64 link can pull in, by the archive or object file linked.
# GCC's runtime libraries are GPL-3.0 with the runtime library exception; the
# mingw-w64 C runtime is ZPL-2.1 with the other licences Debian lists for the files
# of its libraries; winpthreads is expat (MIT) with BSD-licensed parts.
GCC = ("Organization: Free Software Foundation", "Copyright (C) Free Software Foundation, Inc.",
       "GPL-3.0-or-later WITH GCC-exception-3.1")
MINGW = ("Organization: mingw-w64 project", "Copyright (c) the mingw-w64 project and others (see the licences)")
RUNTIMES = [
    ("libstdc++", "libstdcxx", frozenset({"libstdc++.a", "libsupc++.a"})) + GCC,
    ("libgcc", "libgcc",
     frozenset({"libgcc.a", "libgcc_eh.a", "libgcc_s.a", "crtbegin.o", "crtend.o", "crtfastmath.o"})) + GCC,
    ("winpthreads", "winpthreads", frozenset({"libpthread.a", "libwinpthread.a"})) + MINGW
    + ("MIT AND BSD-3-Clause AND LicenseRef-public-domain",),
    # Everything else of the mingw-w64 development package: start-up objects, the C
    # runtime's own code and the import libraries of Windows' DLLs.
    ("mingw-w64-crt", "mingw-w64-crt", None) + MINGW
    + ("ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-Lucent AND LicenseRef-David-Gay AND LicenseRef-Permissive-Sun"
       " AND LicenseRef-Keith-Marshall AND BSD-2-Clause AND ISC AND BSD-3-Clause",),
]
NO_ASSERTION = "NOASSERTION"


def linked_files(link_map):
    """System files the link took code from: archives with a member included, and objects loaded."""
    found = set()
    for line in open(link_map, encoding="utf-8", errors="replace"):
        m = re.match(r"(/\S+\.a)\(.*\)$", line.rstrip()) or re.match(r"LOAD (/\S+\.o)$", line.rstrip())
        if m:
            found.add(os.path.normpath(m.group(1)))
    return found


def debian_package(path):
    owner = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True)
    if owner.returncode:
        sys.exit(f"sbom: no Debian package installed {path}")
    name = owner.stdout.split(":")[0].split(",")[0].strip()
    version, arch = subprocess.run(["dpkg-query", "-W", "-f", "${Version} ${Architecture}", name],
                                   check=True, capture_output=True, text=True).stdout.split()
    return name, version, arch


def runtime_of(path, package):
    base = os.path.basename(path)
    for runtime in RUNTIMES:
        if runtime[2] is not None and base in runtime[2]:
            return runtime
    if re.fullmatch(r"mingw-w64-.*-dev", package):
        return RUNTIMES[-1]
    sys.exit(f"sbom: {path} (Debian package {package}) is linked, but no runtime here says its licence")


def license_texts(package):
    """Licence name -> text, from the package's machine-readable copyright file."""
    texts, name, lines = {}, None, []
    for line in open(f"/usr/share/doc/{package}/copyright", encoding="utf-8").read().split("\n") + [""]:
        if name is not None and line.startswith((" ", "\t")):
            lines.append("" if line.strip() == "." else line[1:])
            continue
        if name is not None and lines:
            texts.setdefault(name, "\n".join(lines))
        name, lines = (line[len("License:"):].strip(), []) if line.startswith("License:") else (None, [])
    return texts


def checksums(path):
    data = open(path, "rb").read()
    return {"SHA1": hashlib.sha1(data).hexdigest(), "SHA256": hashlib.sha256(data).hexdigest()}


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def main():
    ap = argparse.ArgumentParser()
    for option in ("--out", "--package", "--version", "--epoch", "--link-map", "--license"):
        ap.add_argument(option, required=True)
    ap.add_argument("--checksum-of")
    ap.add_argument("files", nargs="+", help="<file>=<name in the package>")
    args = ap.parse_args()

    files, server = [], None
    for pair in sorted(args.files, key=lambda s: s.split("=", 1)[1]):
        path, name = pair.split("=", 1)
        sums = checksums(path)
        entry = {"fileName": "./" + name, "SPDXID": spdx_id("File", name),
                 "checksums": [{"algorithm": a, "checksumValue": v} for a, v in sums.items()]}
        files.append((entry, sums))
        if os.path.basename(name) == "VELKO.dll":
            server = entry["SPDXID"]
    if server is None:
        sys.exit("sbom: the package holds no VELKO.dll")
    verification = hashlib.sha1("".join(sorted(s["SHA1"] for _, s in files)).encode()).hexdigest()
    copyright_line = next(l.strip() for l in open(args.license, encoding="utf-8") if l.startswith("Copyright"))
    velko = {"name": "VELKO", "SPDXID": "SPDXRef-Package-VELKO", "versionInfo": args.version,
             "packageFileName": args.package, "supplier": "Organization: The VELKO authors",
             "downloadLocation": NO_ASSERTION, "filesAnalyzed": True,
             "packageVerificationCode": {"packageVerificationCodeValue": verification},
             "licenseConcluded": "MIT", "licenseDeclared": "MIT", "copyrightText": copyright_line,
             "primaryPackagePurpose": "LIBRARY"}
    if args.checksum_of:
        velko["checksums"] = [{"algorithm": "SHA256", "checksumValue": checksums(args.checksum_of)["SHA256"]}]

    # Runtime -> the Debian packages and files it was linked from.
    linked = {}
    for path in sorted(linked_files(args.link_map)):
        package = debian_package(path)
        linked.setdefault(runtime_of(path, package[0]), {}).setdefault(package, []).append(path)
    packages, relationships, refs = [velko], [], {}
    for runtime in RUNTIMES:
        if runtime not in linked:
            continue
        name, ident, _, originator, copyright_text, expression = runtime
        if len(linked[runtime]) != 1:
            sys.exit(f"sbom: {name} is linked from more than one Debian package: {sorted(linked[runtime])}")
        (deb, version, arch), paths = next(iter(linked[runtime].items()))
        texts = license_texts(deb)
        for ref in re.findall(r"LicenseRef-([\w.-]+)", expression):
            if ref not in texts:
                sys.exit(f"sbom: /usr/share/doc/{deb}/copyright has no licence {ref}")
            refs[ref] = texts[ref]
        purl = f"pkg:deb/debian/{urllib.parse.quote(deb)}@{urllib.parse.quote(version, safe='')}?arch={arch}"
        packages.append({
            "name": name, "SPDXID": spdx_id("Package", ident), "versionInfo": version,
            "supplier": "Organization: Debian", "originator": originator, "downloadLocation": NO_ASSERTION,
            "filesAnalyzed": False, "licenseConcluded": expression, "licenseDeclared": expression,
            "copyrightText": copyright_text,
            "sourceInfo": f"Debian package {deb} {version}",
            "comment": "Statically linked into VELKO.dll from: " + ", ".join(paths) + ".",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": purl}],
            "primaryPackagePurpose": "LIBRARY"})
        relationships.append({"spdxElementId": server, "relationshipType": "STATIC_LINK",
                              "relatedSpdxElement": spdx_id("Package", ident)})

    relationships[:0] = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                          "relatedSpdxElement": "SPDXRef-Package-VELKO"}] + [
        {"spdxElementId": "SPDXRef-Package-VELKO", "relationshipType": "CONTAINS",
         "relatedSpdxElement": entry["SPDXID"]} for entry, _ in files]
    created = datetime.datetime.fromtimestamp(int(args.epoch), datetime.timezone.utc)
    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": args.package,
        "creationInfo": {"created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
                         "creators": ["Organization: The VELKO authors", "Tool: velko-sbom"]},
        "packages": packages, "files": [entry for entry, _ in files], "relationships": relationships,
        "hasExtractedLicensingInfos": [{"licenseId": f"LicenseRef-{ref}", "name": ref, "extractedText": text}
                                       for ref, text in sorted(refs.items())],
    }
    # A namespace unique to this content, and the same for the same content.
    digest = hashlib.sha256(json.dumps(document, sort_keys=True).encode()).hexdigest()
    document["documentNamespace"] = (f"https://spdx.org/spdxdocs/{args.package}-"
                                     f"{uuid.uuid5(uuid.NAMESPACE_URL, digest)}")
    with open(args.out, "w", encoding="utf-8", newline="\n") as out:
        json.dump(document, out, indent=2, ensure_ascii=False)
        out.write("\n")


if __name__ == "__main__":
    main()

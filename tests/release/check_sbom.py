#!/usr/bin/env python3
"""Checks the release's SPDX 2.3 bill of materials: the document's required
fields and time, the program, installer and zip with their SHA-256, the
Debian packages they are built from at the versions installed here, which
file holds which, and the NSIS plug-ins that 7z finds in the installer.
Usage: check_sbom.py BUILD_DIR VERSION   (SOURCE_DATE_EPOCH set)"""
import hashlib
import json
import os
import subprocess
import sys
import time

build, version = sys.argv[1:]
program, installer, archive = "corvane.exe", f"corvane-{version}-install.exe", f"corvane-{version}.zip"
document = json.load(open(f"{build}/corvane-{version}.spdx.json"))
problems = []


def expect(condition, problem):
    if not condition:
        problems.append(problem)


expect(all(document.get(key) for key in ("name", "documentNamespace", "creationInfo")) and
       (document["spdxVersion"], document["dataLicense"], document["SPDXID"]) ==
       ("SPDX-2.3", "CC0-1.0", "SPDXRef-DOCUMENT"), "the document's required fields")
expect(document["creationInfo"]["created"] ==
       time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))),
       "its time is not the commit's")
packages = {package["SPDXID"]: package for package in document["packages"]}
for package in packages.values():
    expect(package.get("name") and package.get("downloadLocation") and package.get("filesAnalyzed") is False,
           f"{package['SPDXID']} lacks a required field")
by_file = {package.get("packageFileName"): package for package in packages.values()}
links = {(link["spdxElementId"], link["relationshipType"], link["relatedSpdxElement"])
         for link in document["relationships"]}
expect(all(link[0] in packages or link[0] == "SPDXRef-DOCUMENT" for link in links) and
       all(link[2] in packages for link in links), "a relationship names an element that is not there")


def holds(container, kind, name):
    expect((by_file[container]["SPDXID"], kind, by_file[name]["SPDXID"]) in links, f"{container} {kind} {name}")


for name in (program, installer, archive):
    expect(name in by_file, f"{name} is missing")
    digest = hashlib.sha256(open(f"{build}/{name}", "rb").read()).hexdigest()
    expect(by_file[name]["checksums"] == [{"algorithm": "SHA256", "checksumValue": digest}], f"{name}'s hash")
    expect(("SPDXRef-DOCUMENT", "DESCRIBES", by_file[name]["SPDXID"]) in links, f"{name} is not described")
    if name != program:
        holds(name, "CONTAINS", program)

# Each component: the Debian package it comes from, the file, and what holds it.
components = [("gcc-mingw-w64-i686-posix", "libgcc.a", program, "STATIC_LINK"),
              ("g++-mingw-w64-i686-posix", "libstdc++.a", program, "STATIC_LINK"),
              ("mingw-w64-i686-dev", "crt2.o", program, "STATIC_LINK"),
              ("nsis-common", "lzma_solid-x86-unicode", installer, "CONTAINS")]
listing = subprocess.run(["7z", "l", "-slt", f"{build}/{installer}"], check=True, capture_output=True, text=True)
plugins = [line.split("\\")[-1].split("/")[-1] for line in listing.stdout.splitlines()
           if line.startswith("Path = $PLUGINSDIR") and line.endswith(".dll")]
expect(plugins, "7z finds no plug-in in the installer")
components += [("nsis-common", plugin, installer, "CONTAINS") for plugin in plugins]
for debian_package, file_name, holder, kind in components:
    installed = subprocess.run(["dpkg-query", "--show", "--showformat=${Version}", debian_package],
                               check=True, capture_output=True, text=True).stdout
    component = by_file.get(file_name, {})
    purls = [ref["referenceLocator"] for ref in component.get("externalRefs", [])]
    expect(component.get("versionInfo") == installed and
           any(purl.startswith(f"pkg:deb/debian/{debian_package}@") for purl in purls),
           f"{file_name} is not named as from {debian_package} {installed}")
    if component:
        holds(holder, kind, file_name)

if problems:
    sys.exit("\n".join(problems))
print(f"The bill of materials names the release's files with their hashes and {len(components)} components.")

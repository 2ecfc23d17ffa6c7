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


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def expect(condition, problem):
    problems.extend([] if condition else [problem])


expect((document["spdxVersion"], document["dataLicense"], document["SPDXID"]) == ("SPDX-2.3", "CC0-1.0",
       "SPDXRef-DOCUMENT") and document["name"] and document["documentNamespace"], "the document's required fields")
expect(document["creationInfo"]["created"] == time.strftime(
    "%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))), "its time is not the commit's")
ids = {package["SPDXID"] for package in document["packages"]} | {"SPDXRef-DOCUMENT"}
by_file = {package.get("packageFileName"): package for package in document["packages"]}
links = {(link["spdxElementId"], link["relationshipType"], link["relatedSpdxElement"])
         for link in document["relationships"]}
expect(all(package.get("name") and package.get("downloadLocation") and package.get("filesAnalyzed") is False
           for package in document["packages"]), "a package lacks a required field")
expect(all(link[0] in ids and link[2] in ids for link in links), "a relationship names an element not there")


def linked(holder, kind, name):
    held = by_file.get(name, {}).get("SPDXID")
    expect((by_file.get(holder, {"SPDXID": holder})["SPDXID"], kind, held) in links, f"{holder} {kind} {name}")


for name in (program, installer, archive):
    digest = hashlib.sha256(open(f"{build}/{name}", "rb").read()).hexdigest()
    expect(by_file.get(name, {}).get("checksums") == [{"algorithm": "SHA256", "checksumValue": digest}],
           f"{name} or its hash is missing")
    linked("SPDXRef-DOCUMENT", "DESCRIBES", name)
linked(installer, "CONTAINS", program)
linked(archive, "CONTAINS", program)

# Each component: the Debian package it comes from, its file, and what holds it.
plugins = [line.split("/")[-1] for line in output("7z", "l", "-slt", f"{build}/{installer}").splitlines()
           if line.startswith("Path = $PLUGINSDIR/") and line.endswith(".dll")]
expect(plugins, "7z finds no plug-in in the installer")
for debian_package, file_name, holder, kind in [
        ("gcc-mingw-w64-i686-posix", "libgcc.a", program, "STATIC_LINK"),
        ("g++-mingw-w64-i686-posix", "libstdc++.a", program, "STATIC_LINK"),
        ("mingw-w64-i686-dev", "crt2.o", program, "STATIC_LINK"),
        ("nsis-common", "lzma_solid-x86-unicode", installer, "CONTAINS")] + \
        [("nsis-common", plugin, installer, "CONTAINS") for plugin in plugins]:
    component = by_file.get(file_name, {})
    expect(component.get("versionInfo") == output("dpkg-query", "--show", "--showformat=${Version}", debian_package) and
           any(ref["referenceLocator"].startswith(f"pkg:deb/debian/{debian_package}@")
               for ref in component.get("externalRefs", [])), f"{file_name} is not named as from {debian_package}")
    linked(holder, kind, file_name)

if problems:
    sys.exit("\n".join(problems))
print(f"The bill of materials names the release's files with their hashes, and {4 + len(plugins)} components.")

#!/usr/bin/env python3
"""Checks the release's SPDX 2.3 bill of materials: the document's required
fields, the program, installer and zip with their SHA-256 and addresses,
the Debian packages they are built from at the versions installed here,
which file holds which, and the NSIS plug-ins that 7z finds in the installer.
Usage: check_sbom.py BUILD_DIR VERSION DOWNLOAD_URL"""
import hashlib
import json
import os
import subprocess
import sys

build, version, download_url = sys.argv[1:]
program, installer, archive = "corvane.exe", f"corvane-{version}-install.exe", f"corvane-{version}.zip"
document = json.load(open(f"{build}/corvane-{version}.spdx.json"))
problems = []


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def expect(condition, problem):
    problems.extend([] if condition else [problem])


expect((document["spdxVersion"], document["dataLicense"], document["SPDXID"]) == ("SPDX-2.3", "CC0-1.0",
       "SPDXRef-DOCUMENT") and document["name"] and document["documentNamespace"], "the document's required fields")
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
    expect(by_file.get(name, {}).get("checksums") == [{"algorithm": "SHA256", "checksumValue": digest}] and
           by_file[name]["downloadLocation"] == f"{download_url}/{name}", f"{name}, its hash or its address is wrong")
    linked("SPDXRef-DOCUMENT", "DESCRIBES", name)
linked(installer, "CONTAINS", program)
linked(archive, "CONTAINS", program)

# Each of Debian's components: a file of the package its purl names, at the
# version installed here, that a file of the release holds.
for component in (package for package in document["packages"] if package["supplier"] == "Organization: Debian"):
    source = component["externalRefs"][0]["referenceLocator"].split("/")[2].split("@")[0]
    files = map(os.path.basename, output("dpkg-query", "--listfiles", source).splitlines())
    expect(component["versionInfo"] == output("dpkg-query", "--show", "--showformat=${Version}", source) and
           component["packageFileName"] in files and any(link[2] == component["SPDXID"] for link in links),
           f"{component['name']} is not a file of {source} as installed here, held by the release")
plugins = [line.split("/")[-1] for line in output("7z", "l", "-slt", f"{build}/{installer}").splitlines()
           if line.startswith("Path = $PLUGINSDIR/") and line.endswith(".dll")]
expect(plugins and set(plugins) <= set(by_file), f"7z finds plug-ins in the installer, {plugins}, that it does not name")

if problems:
    sys.exit("\n".join(problems))
print("The bill of materials names the release's files with their hashes and addresses, and what they hold.")

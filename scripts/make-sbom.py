#!/usr/bin/env python3
"""Prints the release's bill of materials, an SPDX 2.3 JSON document: the
program, the installer and the zip with their SHA-256, and what they hold
from others, each with the Debian package and version it came from
(dpkg-query), so that a vulnerability in one can be traced to the releases
that carry it. Its only time is SOURCE_DATE_EPOCH, so two builds of one
commit give the same bytes.
Usage: make-sbom.py RELEASE_JSON DOWNLOAD_URL PROGRAM INSTALLER ZIP"""
import hashlib
import json
import os
import re
import subprocess
import sys
import time

release_path, download_url, program, installer, archive = sys.argv[1:]
release = json.load(open(release_path))
version = release["version"]


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


def sha256(path):
    return hashlib.sha256(open(path, "rb").read()).hexdigest()


nsis_dir = re.search(r"NSISDIR=([^,]*)", output("makensis", "-HDRINFO")).group(1)
# What corvane.exe links from the compiler, and what the installer carries
# from NSIS: its stub (lzma, solid, x86-unicode, as corvane.nsi and
# make-installer.sh build it), System, the plug-in corvane.nsi calls, and
# nsDialogs, the one the Modern UI's pages call.
components = [
    ("libgcc", output(release["compiler"], "-print-libgcc-file-name"),
     "GPL-3.0-or-later WITH GCC-exception-3.1", program),
    ("libstdc++", output(release["compiler"], "-print-file-name=libstdc++.a"),
     "GPL-3.0-or-later WITH GCC-exception-3.1", program),
    ("MinGW-w64 runtime", output(release["compiler"], "-print-file-name=crt2.o"),
     "ZPL-2.1 AND LicenseRef-MinGW-w64-public-domain", program),
    ("NSIS stub", f"{nsis_dir}/Stubs/lzma_solid-x86-unicode", "Zlib AND CPL-1.0", installer),
    ("NSIS System plug-in", f"{nsis_dir}/Plugins/x86-unicode/System.dll", "Zlib", installer),
    ("NSIS nsDialogs plug-in", f"{nsis_dir}/Plugins/x86-unicode/nsDialogs.dll", "Zlib", installer),
]


def spdx_id(name):
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", name)


def release_file(path, purpose):
    name = os.path.basename(path)
    return {
        "SPDXID": spdx_id(name), "name": name, "versionInfo": version, "packageFileName": name,
        "supplier": "Organization: The Corvane authors", "downloadLocation": f"{download_url}/{name}",
        "filesAnalyzed": False, "checksums": [{"algorithm": "SHA256", "checksumValue": sha256(path)}],
        "licenseDeclared": "MIT", "copyrightText": release["copyright"], "primaryPackagePurpose": purpose,
    }


def debian_component(name, path, licence):
    path = os.path.realpath(path)
    package = output("dpkg-query", "--search", path).split(":")[0]
    package_version, architecture = output(
        "dpkg-query", "--show", "--showformat=${Version} ${Architecture}", package).split()
    return {
        "SPDXID": spdx_id(name), "name": name, "versionInfo": package_version,
        "packageFileName": os.path.basename(path), "supplier": "Organization: Debian", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
        "licenseConcluded": licence, "licenseDeclared": licence, "copyrightText": "NOASSERTION",
        "primaryPackagePurpose": "LIBRARY",
        "comment": f"{os.path.basename(path)} from the Debian package {package} {package_version}",
        "externalRefs": [{
            "referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
            "referenceLocator": f"pkg:deb/debian/{package}@{package_version.replace('+', '%2B')}"
                                f"?arch={architecture}",
        }],
    }


files = [release_file(program, "APPLICATION"), release_file(installer, "INSTALL"),
         release_file(archive, "ARCHIVE")]
packages = files + [debian_component(name, path, licence) for name, path, licence, _ in components]
relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                  "relatedSpdxElement": file["SPDXID"]} for file in files]
relationships += [{"spdxElementId": spdx_id(os.path.basename(container)), "relationshipType": "CONTAINS",
                   "relatedSpdxElement": spdx_id(os.path.basename(program))} for container in (installer, archive)]
relationships += [{"spdxElementId": spdx_id(os.path.basename(user)),
                   "relationshipType": "STATIC_LINK" if user == program else "CONTAINS",
                   "relatedSpdxElement": spdx_id(name)} for name, _, _, user in components]
digest = hashlib.sha256("".join(file["checksums"][0]["checksumValue"] for file in files).encode()).hexdigest()
document = {
    "spdxVersion": "SPDX-2.3",
    "dataLicense": "CC0-1.0",
    "SPDXID": "SPDXRef-DOCUMENT",
    "name": f"Corvane {version}",
    "documentNamespace": f"{download_url}/spdx/{digest}",
    "creationInfo": {
        "created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))),
        "creators": ["Organization: The Corvane authors", "Tool: make-sbom.py"],
    },
    "hasExtractedLicensingInfos": [{
        "licenseId": "LicenseRef-MinGW-w64-public-domain",
        "name": "MinGW-w64 public domain start-up code",
        "extractedText": "The MinGW-w64 runtime's start-up code (mingw-w64-crt/crt) is in the public domain.",
    }],
    "packages": packages,
    "relationships": relationships,
}
print(json.dumps(document, indent=2))

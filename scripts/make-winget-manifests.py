#!/usr/bin/env python3
"""Writes the winget manifests of the release's installer into OUT_DIR: the
three files of a multi-file manifest (version, installer and default
locale), for the submission of a new version to winget's repository. The
exit codes come from package/exit_codes.nsh and the product code from the
uninstall entry's key in package/corvane.nsi, so they cannot drift apart.
Usage: make-winget-manifests.py RELEASE_JSON DOWNLOAD_URL INSTALLER OUT_DIR"""
import hashlib
import json
import os
import re
import sys
import time

release_path, download_url, installer, out_dir = sys.argv[1:]
release = json.load(open(release_path))
package_dir = os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "package")
IDENTIFIER = "Corvane.Corvane"
MANIFEST_VERSION = "1.10.0"
LOCALE = "en-US"
# What winget tells the user for each of the installer's codes.
RESPONSES = {
    "EXIT_CANCELLED": "cancelledByUser",
    "EXIT_CORVANE_STILL_RUNNING": "packageInUse",
    "EXIT_FILE_NOT_WRITTEN": "fileInUse",
    "EXIT_DOWNGRADE_REFUSED": "downgrade",
}

exit_codes = re.findall(r"^!define (EXIT_\w+) (\d+)$", open(f"{package_dir}/exit_codes.nsh").read(), re.M)
uninstall_key = re.search(r'^!define UNINSTALL_KEY "(.*)"$', open(f"{package_dir}/corvane.nsi").read(), re.M)
release_date = time.strftime("%Y-%m-%d", time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"])))


def yaml(value, indent=""):
    """Block-style YAML; every scalar is a JSON string or number, which YAML
    reads as written (a version such as 1.10 stays text)."""
    lines = []
    for key, item in value.items():
        if isinstance(item, dict):
            lines += [f"{indent}{key}:"] + yaml(item, indent + "  ")
        elif isinstance(item, list):
            lines.append(f"{indent}{key}:")
            for element in item:
                if isinstance(element, dict):
                    nested = yaml(element, indent + "  ")
                    lines += [f"{indent}- {nested[0].lstrip()}"] + nested[1:]
                else:
                    lines.append(f"{indent}- {json.dumps(element)}")
        else:
            lines.append(f"{indent}{key}: {json.dumps(item)}")
    return lines


def write(name, manifest_type, fields):
    header = {"PackageIdentifier": IDENTIFIER, "PackageVersion": release["version"]}
    footer = {"ManifestType": manifest_type, "ManifestVersion": MANIFEST_VERSION}
    schema = f"https://aka.ms/winget-manifest.{manifest_type.lower()}.{MANIFEST_VERSION}.schema.json"
    text = [f"# yaml-language-server: $schema={schema}", "# Written by make package."]
    with open(os.path.join(out_dir, name), "w") as file:
        file.write("\n".join(text + yaml({**header, **fields, **footer})) + "\n")


os.makedirs(out_dir, exist_ok=True)
write(f"{IDENTIFIER}.yaml", "version", {"DefaultLocale": LOCALE})
write(f"{IDENTIFIER}.installer.yaml", "installer", {
    "InstallerType": "nullsoft",
    "Scope": "user",
    # From an administrator's terminal winget would otherwise run it elevated:
    # it would install into the administrator's profile and start Corvane
    # elevated, out of reach of the next upgrade's request to end.
    "ElevationRequirement": "elevationProhibited",
    "InstallModes": ["interactive", "silent", "silentWithProgress"],
    "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S"},
    "UpgradeBehavior": "install",
    "ExpectedReturnCodes": [{"InstallerReturnCode": int(code), "ReturnResponse": RESPONSES[name]}
                            for name, code in exit_codes],
    "ProductCode": uninstall_key.group(1).split("\\")[-1],
    "ReleaseDate": release_date,
    "Installers": [{
        "Architecture": "x86",
        "InstallerUrl": f"{download_url}/{os.path.basename(installer)}",
        "InstallerSha256": hashlib.sha256(open(installer, "rb").read()).hexdigest().upper(),
    }],
})
write(f"{IDENTIFIER}.locale.{LOCALE}.yaml", "defaultLocale", {
    "PackageLocale": LOCALE,
    "Publisher": "Corvane",
    "PackageName": "Corvane",
    "License": "MIT",
    "Copyright": release["copyright"],
    "ShortDescription": "A battery monitor for laptops whose Windows battery figure reaches 1% with half "
                        "the charge still left: it shows the real charge and warns before the end.",
    "Description": "Corvane installs for the current user alone, without elevation, into "
                   "%LOCALAPPDATA%\\Programs\\Corvane, with shortcuts in the Start menu and the Startup "
                   "folder. A silent first install does not start it: it starts at the next sign-in, or from "
                   "the Start menu now. An upgrade ends a running Corvane, keeps its state and the Start "
                   "with Windows choice, and starts it again.",
    "Moniker": "corvane",
})

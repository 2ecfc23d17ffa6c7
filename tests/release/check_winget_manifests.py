#!/usr/bin/env python3
"""Checks the winget manifests that make package writes against the rules
of winget's published manifest schema, version 1.10 (its required fields,
patterns and enumerations, as its documentation states them), then against
the release: the installer's hash in SHA256SUMS, its address, and the codes
and facts winget relies on.
Usage: check_winget_manifests.py WINGET_DIR SHA256SUMS DOWNLOAD_URL"""
import datetime
import os
import re
import sys

import yaml

winget_dir, sums_path, download_url = sys.argv[1:]
problems = []


def text(pattern=".*", least=1, most=None):
    def check(value):
        return isinstance(value, str) and least <= len(value) <= (most or len(value)) and re.fullmatch(pattern, value)
    return check


def one_of(*values):
    return lambda value: value in values


def unique_list(rule, most):
    return lambda value: isinstance(value, list) and 0 < len(value) <= most and \
        len(set(map(str, value))) == len(value) and all(rule(item) for item in value)


def record(fields):
    return lambda value: isinstance(value, dict) and not check_fields(value, fields, "")


def date(value):
    try:
        return datetime.date.fromisoformat(value) is not None
    except (TypeError, ValueError):
        return False


NOT_IN_NAMES = r'\\/:*?"<>|\x01-\x1f'
SEGMENT = rf"[^.\s{NOT_IN_NAMES}]{{1,32}}"
NUMBER = r"(0|[1-9][0-9]{0,4})"
identifier = text(rf"{SEGMENT}(\.{SEGMENT}){{1,7}}", most=128)
package_version = text(rf"[^{NOT_IN_NAMES}]+", most=128)
locale = text(r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*", most=20)
manifest_version = lambda value: text(rf"{NUMBER}(\.{NUMBER}){{2}}")(value) and \
    all(int(part) <= 65535 for part in value.split("."))
url = text(r"[Hh][Tt][Tt][Pp][Ss]?://.+", most=2048)
sha256 = text(r"[A-Fa-f0-9]{64}")
return_code = lambda value: isinstance(value, int) and value != 0 and -2**31 <= value <= 2**32 - 1
RESPONSES = ("packageInUse packageInUseByApplication installInProgress fileInUse missingDependency diskFull "
             "insufficientMemory invalidParameter noNetwork contactSupport rebootRequiredToFinish "
             "rebootRequiredForInstall rebootInitiated cancelledByUser alreadyInstalled downgrade "
             "blockedByPolicy systemNotSupported custom").split()
COMMON = {"PackageIdentifier": (True, identifier), "PackageVersion": (True, package_version),
          "ManifestVersion": (True, manifest_version)}
# Each manifest's fields that make package writes: required or not, and the rule.
FIELDS = {
    "version": {"DefaultLocale": (True, locale), "ManifestType": (True, one_of("version"))},
    "defaultLocale": {
        "PackageLocale": (True, locale), "Publisher": (True, text(least=2, most=256)),
        "PackageName": (True, text(least=2, most=256)), "License": (True, text(least=3, most=512)),
        "ShortDescription": (True, text(least=3, most=256)), "Copyright": (False, text(least=3, most=512)),
        "Moniker": (False, text(most=40)), "ManifestType": (True, one_of("defaultLocale"))},
    "installer": {
        "InstallerType": (False, one_of("msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn",
                                        "pwa", "portable", "advinstExe", "advinstMsi")),
        "Scope": (False, one_of("user", "machine")),
        "InstallModes": (False, unique_list(one_of("interactive", "silent", "silentWithProgress"), 3)),
        "InstallerSwitches": (False, record({name: (False, text(most=512)) for name in (
            "Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Repair")})),
        "UpgradeBehavior": (False, one_of("install", "uninstallPrevious", "deny")),
        "ExpectedReturnCodes": (False, unique_list(record({
            "InstallerReturnCode": (True, return_code), "ReturnResponse": (True, one_of(*RESPONSES))}), 128)),
        "ProductCode": (False, text(most=255)), "ReleaseDate": (False, date),
        "Installers": (True, unique_list(record({
            "Architecture": (True, one_of("x86", "x64", "arm", "arm64", "neutral")),
            "InstallerUrl": (True, url), "InstallerSha256": (True, sha256)}), 1024)),
        "ManifestType": (True, one_of("installer"))},
}


def check_fields(manifest, fields, where):
    found = []
    for name, (required, rule) in fields.items():
        if name not in manifest:
            found += [f"{where}{name} is required"] if required else []
        elif not rule(manifest[name]):
            found.append(f"{where}{name} breaks the schema: {manifest[name]!r}")
    found += [f"{where}{name} is not a field of this manifest" for name in manifest if name not in fields]
    return found


manifests = {}
for name in sorted(os.listdir(winget_dir)):
    manifest = yaml.safe_load(open(os.path.join(winget_dir, name)))
    kind = manifest.get("ManifestType")
    problems += check_fields(manifest, {**COMMON, **FIELDS.get(kind, {})}, f"{name}: ")
    manifests[kind] = (name, manifest)
if sorted(manifests) != sorted(FIELDS):
    sys.exit(f"expected one manifest of each type, found {sorted(manifests)}")

(version_name, version), (locale_name, locale), (installer_name, installer) = (
    manifests["version"], manifests["defaultLocale"], manifests["installer"])
identity = (version["PackageIdentifier"], version["PackageVersion"])
for name, manifest in manifests.values():
    if (manifest["PackageIdentifier"], manifest["PackageVersion"]) != identity:
        problems.append(f"{name} names another package or version")
expected_names = [f"{identity[0]}.yaml", f"{identity[0]}.installer.yaml",
                  f"{identity[0]}.locale.{version['DefaultLocale']}.yaml"]
if [version_name, installer_name, locale_name] != expected_names or locale["PackageLocale"] != version["DefaultLocale"]:
    problems.append(f"the files are not named as winget's repository names them: {expected_names}")

# What this release promises winget.
sums = dict(reversed(line.split()) for line in open(sums_path))
download = installer["Installers"][0]
wanted = {"InstallerType": "nullsoft", "Scope": "user", "UpgradeBehavior": "install", "ProductCode": "Corvane"}
problems += [f"{key} is {installer.get(key)!r}, not {value!r}" for key, value in wanted.items() if installer.get(key) != value]
if installer["InstallerSwitches"].get("Silent") != "/S" or download["Architecture"] != "x86":
    problems.append("the installer is not the silent x86 one")
if not {(2, "packageInUse"), (3, "fileInUse"), (4, "downgrade")} <= \
        {(code["InstallerReturnCode"], code["ReturnResponse"]) for code in installer["ExpectedReturnCodes"]}:
    problems.append(f"the installer's exit codes are missing: {installer['ExpectedReturnCodes']}")
file_name = download["InstallerUrl"].rsplit("/", 1)[-1]
if download["InstallerUrl"] != f"{download_url}/{file_name}" or sums.get(file_name) != download["InstallerSha256"].lower():
    problems.append(f"{download['InstallerUrl']} with {download['InstallerSha256']} is not in {sums_path}")
if locale.get("License") != "MIT" or locale.get("Publisher") != "Corvane":
    problems.append("the licence or the publisher is wrong")

if problems:
    sys.exit("\n".join(problems))
print(f"The winget manifests of {identity[0]} {identity[1]} follow the schema and match SHA256SUMS.")

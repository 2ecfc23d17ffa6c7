#!/usr/bin/env python3
"""Checks the winget manifests that make package writes against the rules
of winget's published manifest schema, version 1.10 (required fields,
patterns and enumerations, as its documentation states them), then against
the release: the installer's hash in SHA256SUMS, its address, its date
(SOURCE_DATE_EPOCH's), and exit codes that the README explains.
Usage: check_winget_manifests.py WINGET_DIR SHA256SUMS DOWNLOAD_URL README"""
import datetime
import os
import re
import sys

import yaml

winget_dir, sums_path, download_url, readme_path = sys.argv[1:]


def text(pattern=".*", least=1, most=10000):
    return lambda value: isinstance(value, str) and least <= len(value) <= most and re.fullmatch(pattern, value)


def one_of(*values):
    return lambda value: value in values


def items(rule, most):
    return lambda value: isinstance(value, list) and 0 < len(value) <= most and all(map(rule, value))


def record(fields):
    return lambda value: isinstance(value, dict) and not problems_in(value, fields, "")


NOT_IN_NAMES = r'\\/:*?"<>|\x01-\x1f'
PART = rf"[^.\s{NOT_IN_NAMES}]{{1,32}}"
LOCALE = text(r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*", most=20)
RESPONSES = one_of(*"""packageInUse packageInUseByApplication installInProgress fileInUse missingDependency
    diskFull insufficientMemory invalidParameter noNetwork contactSupport rebootRequiredToFinish
    rebootRequiredForInstall rebootInitiated cancelledByUser alreadyInstalled downgrade blockedByPolicy
    systemNotSupported custom""".split())
# Each manifest's fields that make package writes: (required, rule).
COMMON = {"PackageIdentifier": (True, text(rf"{PART}(\.{PART}){{1,7}}", most=128)),
          "PackageVersion": (True, text(rf"[^{NOT_IN_NAMES}]+", most=128)),
          # Three numbers of 0 to 65535, without leading zeros.
          "ManifestVersion": (True, lambda value: text(r"\d+\.\d+\.\d+")(value) and
                              all(str(int(part)) == part and int(part) < 65536 for part in value.split(".")))}
FIELDS = {
    "version": {"DefaultLocale": (True, LOCALE), "ManifestType": (True, one_of("version"))},
    "defaultLocale": {
        "PackageLocale": (True, LOCALE), "Publisher": (True, text(least=2, most=256)),
        "PackageName": (True, text(least=2, most=256)), "License": (True, text(least=3, most=512)),
        "ShortDescription": (True, text(least=3, most=256)), "Description": (False, text(least=3, most=10000)),
        "Copyright": (False, text(least=3, most=512)),
        "Moniker": (False, text(most=40)), "ManifestType": (True, one_of("defaultLocale"))},
    "installer": {
        "InstallerType": (False, one_of(*"msix msi appx exe zip inno nullsoft wix burn pwa portable "
                                         "advinstExe advinstMsi".split())),
        "Scope": (False, one_of("user", "machine")),
        "ElevationRequirement": (False, one_of("elevationRequired", "elevationProhibited", "elevatesSelf")),
        "InstallModes": (False, items(one_of("interactive", "silent", "silentWithProgress"), 3)),
        "InstallerSwitches": (False, record({name: (False, text(most=512)) for name in (
            "Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Repair")})),
        "UpgradeBehavior": (False, one_of("install", "uninstallPrevious", "deny")),
        "ExpectedReturnCodes": (False, items(record({
            "InstallerReturnCode": (True, lambda code: isinstance(code, int) and code and -2**31 <= code < 2**32),
            "ReturnResponse": (True, RESPONSES)}), 128)),
        "ProductCode": (False, text(most=255)),
        "ReleaseDate": (False, lambda value: text(r"\d{4}-\d{2}-\d{2}")(value) and datetime.date.fromisoformat(value)),
        "Installers": (True, items(record({
            "Architecture": (True, one_of("x86", "x64", "arm", "arm64", "neutral")),
            "InstallerUrl": (True, text(r"[Hh][Tt][Tt][Pp][Ss]?://.+", most=2048)),
            "InstallerSha256": (True, text(r"[A-Fa-f0-9]{64}"))}), 1024)),
        "ManifestType": (True, one_of("installer"))},
}


def problems_in(manifest, fields, where):
    return [f"{where}{name} is required" for name, (required, _) in fields.items()
            if required and name not in manifest] + \
           [f"{where}{name} breaks the schema: {value!r}" for name, value in manifest.items()
            if name in fields and not fields[name][1](value)] + \
           [f"{where}{name} is not a field of this manifest" for name in manifest if name not in fields]


problems, manifests = [], {}
for name in sorted(os.listdir(winget_dir)):
    manifest = yaml.safe_load(open(os.path.join(winget_dir, name)))
    problems += problems_in(manifest, {**COMMON, **FIELDS.get(manifest.get("ManifestType"), {})}, f"{name}: ")
    manifests[manifest.get("ManifestType")] = (name, manifest)
if sorted(manifests) != sorted(FIELDS):
    sys.exit(f"expected one manifest of each type, found {sorted(manifests)}")
version, locale, installer = (manifests[kind][1] for kind in ("version", "defaultLocale", "installer"))
package = version["PackageIdentifier"]
if {(m["PackageIdentifier"], m["PackageVersion"]) for _, m in manifests.values()} != {(package, version["PackageVersion"])} \
        or sorted(name for name, _ in manifests.values()) != sorted(
            [f"{package}.yaml", f"{package}.installer.yaml", f"{package}.locale.{locale['PackageLocale']}.yaml"]) \
        or locale["PackageLocale"] != version["DefaultLocale"]:
    problems.append("the three manifests do not name one package, version and locale as winget's repository does")

# What this release promises winget.
download = installer["Installers"][0]
sums = dict(reversed(line.split()) for line in open(sums_path))
released = datetime.datetime.fromtimestamp(int(os.environ["SOURCE_DATE_EPOCH"]), datetime.timezone.utc).date()
if installer.get("ReleaseDate") != released.isoformat():
    problems.append(f"the release date {installer.get('ReleaseDate')} is not SOURCE_DATE_EPOCH's, {released}")
# Unless told otherwise, winget runs an installer elevated from an administrator's terminal.
if installer.get("Scope") == "user" and installer.get("ElevationRequirement") != "elevationProhibited":
    problems.append("a per-user installer that winget may elevate")
# 2 is NSIS's own, for an installer that failed to start too: it can mean nothing else.
codes = {code["InstallerReturnCode"] for code in installer["ExpectedReturnCodes"]}
explained = {int(code) for code in re.findall(r"^\| (\d+) \|", open(readme_path).read(), re.M)}
if 2 in codes or not codes <= explained:
    problems.append(f"the exit codes {sorted(codes)} are not those of the README's table, {sorted(explained)}, less 2")
file_name = download["InstallerUrl"].rsplit("/", 1)[-1]
if download["InstallerUrl"] != f"{download_url}/{file_name}" or sums.get(file_name) != download["InstallerSha256"].lower():
    problems.append(f"{download['InstallerUrl']} with {download['InstallerSha256']} is not in {sums_path}")

if problems:
    sys.exit("\n".join(problems))
print(f"The winget manifests of {package} {version['PackageVersion']} follow the schema and match SHA256SUMS.")

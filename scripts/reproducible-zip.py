#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files put in it: the entries
in the order given, each dated SOURCE_DATE_EPOCH (UTC), with mode 0644 and no
extra fields, so no build time, owner or umask leaks in.
Usage: reproducible-zip.py ZIP FILE..."""
import os
import sys
import time
import zipfile

zip_path, *files = sys.argv[1:]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with zipfile.ZipFile(zip_path, "w") as archive:
    for path in files:
        entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
        entry.create_system = 3
        entry.external_attr = 0o100644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as file:
            archive.writestr(entry, file.read(), compresslevel=9)

#!/usr/bin/env python3
"""The release as a signed build makes it, checked from the outside: a throw-away certificate
(made here, never kept), the packaging run with it, every signature verified by osslsigncode,
the sparse package's block map recomputed from the parts themselves, its manifest read, and the
zips tested. The unsigned build's package is checked to carry no signature. The package
manager's (winget) manifest of each, signed and unsigned, is read back against its installer.

    check_package.py --tool package.py --config package.json --out DIR --clsid CLSID
                     --unsigned UNSIGNED.msix
"""
import argparse
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

import yaml

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def make_certificate(folder):
    """A self-signed code-signing certificate whose organisation holds a comma."""
    key, cert, pfx = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "test.pfx"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", key, "-out", cert,
                    "-subj", "/C=US/O=Qarvo Software, Inc./CN=Qarvo Release Test",
                    "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=digitalSignature"], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                    "-passout", "pass:throw-away"], check=True, capture_output=True)
    os.remove(key)
    return cert, pfx


def verified_subject(path, cert):
    """The signer's subject when osslsigncode verifies the file's signature, else None."""
    result = run(["osslsigncode", "verify", "-CAfile", cert, "-in", path])
    if result.returncode != 0 or "Signature verification: ok" not in result.stdout:
        return None
    for line in result.stdout.splitlines():
        if line.strip().startswith("Subject:"):
            return line.split(":", 1)[1].strip()
    return None


def local_header_size(package, info):
    with open(package, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
    name_length, extra_length = struct.unpack("<HH", header[26:30])
    return 30 + name_length + extra_length


def check_block_map(package):
    with zipfile.ZipFile(package) as z:
        names = z.namelist()
        block_map = ET.fromstring(z.read("AppxBlockMap.xml"))
        ns = {"b": "http://schemas.microsoft.com/appx/2010/blockmap"}
        check(block_map.get("HashMethod") == "http://www.w3.org/2001/04/xmlenc#sha256",
              "the block map hashes with SHA-256")
        listed = set()
        for entry in block_map.findall("b:File", ns):
            name = entry.get("Name")
            listed.add(name.replace("\\", "/"))
            info = z.getinfo(name.replace("\\", "/"))
            data = z.read(info)
            check(int(entry.get("Size")) == len(data), name + ": size")
            check(int(entry.get("LfhSize")) == local_header_size(package, info),
                  name + ": local header size")
            blocks = entry.findall("b:Block", ns)
            chunks = [data[i:i + 65536] for i in range(0, len(data), 65536)] or [b""]
            check(len(blocks) == len(chunks), name + ": one block per 64 KiB")
            for block, chunk in zip(blocks, chunks):
                digest = base64.b64encode(hashlib.sha256(chunk).digest()).decode()
                check(block.get("Hash") == digest, name + ": block hash")
            if info.compress_type == zipfile.ZIP_DEFLATED:
                check(sum(int(b.get("Size")) for b in blocks) == info.compress_size,
                      name + ": compressed block sizes")
        footprint = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}
        check(listed == set(names) - footprint and "AppxManifest.xml" in listed,
              "every part but the footprint is in the block map, the manifest included")
        check(z.getinfo("[Content_Types].xml").compress_type == zipfile.ZIP_DEFLATED,
              "the content types are deflated")
        return z.read("AppxManifest.xml")


def check_manifest(text, clsid, publisher):
    root = ET.fromstring(text)

    def all_named(local):
        return [e for e in root.iter() if e.tag.split("}")[-1] == local]

    def attr(element, local):
        for key, value in element.attrib.items():
            if key.split("}")[-1] == local:
                return value
        return None

    identity = all_named("Identity")[0]
    check(identity.get("Publisher") == publisher,
          "Publisher %r is the certificate's subject %r" % (identity.get("Publisher"), publisher))
    types = {}
    for item in all_named("ItemType"):
        types[item.get("Type")] = [v.get("Clsid") for v in item if v.tag.endswith("Verb")]
    check(types == {t: [clsid] for t in ("*", "Directory", "Directory\\Background")},
          "files, folders and backgrounds name the command's class: %r" % types)
    classes = all_named("Class")
    check([(c.get("Id"), c.get("Path")) for c in classes] == [(clsid, "Torlin.dll")],
          "the surrogate serves that class from Torlin.dll")
    check(all_named("SurrogateServer") != [], "a COM surrogate server")
    application = all_named("Application")[0]
    check(attr(application, "TrustLevel") == "mediumIL" and
          attr(application, "RuntimeBehavior") == "win32App", "medium integrity, a win32 app")
    check(all_named("VisualElements")[0].get("AppListEntry") == "none", "no Start menu tile")
    check(all_named("AllowExternalContent")[0].text == "true", "external content allowed")
    check({c.get("Name") for c in all_named("Capability")} ==
          {"runFullTrust", "unvirtualizedResources"}, "full trust, unvirtualised resources")
    check(all_named("TargetDeviceFamily")[0].get("MinVersion") == "10.0.19041.0",
          "Windows 10 2004 is the floor")


def check_winget(dist, config):
    """The multi-file manifest parses, names every field its schema requires, the built
    installer's real hash, and one installer per scope with its switch."""
    identity = config["winget"]
    setup = os.path.join(dist, config["setup_name"])
    with open(setup, "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest().upper()
    where = os.path.basename(os.path.dirname(dist)) + ": winget "
    # Each file's type and the fields its schema requires besides the common ones.
    files = {"": ("version", ["DefaultLocale"]),
             ".locale.en-US": ("defaultLocale", ["PackageLocale", "Publisher", "PackageName",
                                                 "License", "ShortDescription"]),
             ".installer": ("installer", ["Installers"])}
    manifests = {}
    for suffix, (kind, required) in files.items():
        with open(os.path.join(dist, "winget", identity["identifier"] + suffix + ".yaml"),
                  encoding="utf-8") as f:
            manifest = yaml.safe_load(f)
        manifests[kind] = manifest
        missing = [k for k in ["PackageIdentifier", "PackageVersion", "ManifestType",
                               "ManifestVersion"] + required if not manifest.get(k)]
        check(not missing, where + kind + " has every required field, missing: %r" % missing)
        check(manifest.get("ManifestType") == kind, where + kind + ": its type")
        check((manifest.get("PackageIdentifier"), manifest.get("PackageVersion")) ==
              (identity["identifier"], identity["version"]), where + kind + ": package and version")
    versions = {m.get("ManifestVersion") for m in manifests.values()}
    check(len(versions) == 1 and
          tuple(int(n) for n in versions.pop().split(".")) >= (1, 28, 0),
          where + "one current schema for all three")
    locale = manifests["defaultLocale"]
    check((locale["Publisher"], locale["PackageName"], locale["License"]) ==
          (identity["publisher"], identity["name"], identity["license"]),
          where + "publisher, name and license of the identity")
    installer = manifests["installer"]
    check(installer.get("InstallerType") == "nullsoft" and
          installer.get("UpgradeBehavior") == "install", where + "nullsoft, upgraded by install")
    scopes = {}
    for entry in installer["Installers"]:
        switches = entry.get("InstallerSwitches", {})
        check(entry.get("Architecture") == "x64" and entry.get("InstallerSha256") == sha256 and
              entry.get("InstallerUrl", "").startswith("https://") and
              entry["InstallerUrl"].endswith("/" + config["setup_name"]) and
              switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S",
              where + "x64, the built file's SHA-256, its address and the silent switch")
        scopes[entry.get("Scope")] = switches.get("Custom")
    check(scopes == {"machine": "/AllUsers", "user": "/CurrentUser"},
          where + "one installer for each scope: %r" % scopes)


def windows_publisher(slash_subject):
    """osslsigncode's "/C=US/O=.../CN=..." as a package's Publisher: the last part first."""
    parts = []
    for rdn in reversed([p for p in slash_subject.split("/") if p]):
        key, value = rdn.split("=", 1)
        if any(c in value for c in ',+=<>#;"'):
            value = '"' + value.replace('"', '""') + '"'
        parts.append({"ST": "S", "emailAddress": "E"}.get(key, key) + "=" + value)
    return ", ".join(parts)


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tool", "--config", "--out", "--clsid", "--unsigned"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    with open(args.config, encoding="utf-8") as f:
        config = json.load(f)

    shutil.rmtree(args.out, ignore_errors=True)
    cert_folder = os.path.join(args.out, "certificate")
    os.makedirs(cert_folder)
    cert, pfx = make_certificate(cert_folder)
    dist, work = os.path.join(args.out, "dist"), os.path.join(args.out, "work")
    env = dict(os.environ, QARVO_SIGN_PFX=pfx, QARVO_SIGN_PASSWORD="throw-away")
    env.pop("QARVO_SIGN_TIMESTAMP", None)
    made = run([sys.executable, args.tool, args.config, dist, "--work", work], env=env)
    print(made.stdout + made.stderr)
    check(made.returncode == 0, "the signed release is made")
    if made.returncode != 0:
        sys.exit(1)

    signed = [os.path.join(work, "stage", p) for p in config["programs"]]
    signed += [os.path.join(work, "Uninstall.exe"), os.path.join(dist, config["setup_name"]),
               os.path.join(dist, config["msix_name"])]
    subjects = set()
    for path in signed:
        subject = verified_subject(path, cert)
        check(subject is not None, "signature verified: " + os.path.basename(path))
        subjects.add(subject)
    check(len(subjects) == 1, "one signer for everything")

    package = os.path.join(dist, config["msix_name"])
    manifest = check_block_map(package)
    check_manifest(manifest, args.clsid, windows_publisher(subjects.pop() or ""))
    with zipfile.ZipFile(package) as z:
        check("AppxSignature.p7x" in z.namelist(), "the package carries its signature")
    for zip_path in (package, os.path.join(dist, config["portable_name"])):
        check(run(["unzip", "-tq", zip_path]).returncode == 0,
              "the zip tests clean: " + os.path.basename(zip_path))

    check_winget(dist, config)
    check_winget(os.path.dirname(args.unsigned), config)

    # The unsigned build says so and its package carries no signature.
    with zipfile.ZipFile(args.unsigned) as z:
        check("AppxSignature.p7x" not in z.namelist(), "the unsigned package carries none")
    check(verified_subject(args.unsigned, cert) is None, "nothing to verify in the unsigned one")
    check_block_map(args.unsigned)

    if failures:
        print("%d checks failed" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

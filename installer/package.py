#!/usr/bin/env python3
"""Makes the release from the staged layout: the sparse package (.msix), the installer and the
portable zip, signed when a certificate is given, and the package manager's manifest of the
installer (winget/).

    package.py CONFIG OUTDIR [--stage DIR] [--work DIR] [--setup-only [--setup-name NAME]]
    package.py --sign FILE [--keep COPY]      (the installer's compiler calls this back)

CONFIG is written by the build (installer/CMakeLists.txt): the identity, the file names, the
manifest template and the installer compiler's command line. Signing is asked for through the
environment: QARVO_SIGN_PFX (a PKCS#12 file), QARVO_SIGN_PASSWORD and, optionally,
QARVO_SIGN_TIMESTAMP (a time-stamp server's address). Without them everything is made unsigned
and the installer leaves Windows 11 to the classic menu.
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
import tempfile
import time
import zipfile
import zlib

BLOCK = 64 * 1024
BLOCKMAP_NS = "http://schemas.microsoft.com/appx/2010/blockmap"
SHA256_URI = "http://www.w3.org/2001/04/xmlenc#sha256"
# The base32 digits of a package's publisher id.
PUBLISHER_ID_DIGITS = "0123456789abcdefghjkmnpqrstvwxyz"


def say(text):
    print("package: " + text, flush=True)


# --- Signing -------------------------------------------------------------------------------

def signing():
    """The certificate settings, or None when the release is to be unsigned."""
    pfx = os.environ.get("QARVO_SIGN_PFX", "")
    if not pfx:
        return None
    if not os.path.isfile(pfx):
        sys.exit("package: QARVO_SIGN_PFX names no file: " + pfx)
    return {"pfx": pfx, "password": os.environ.get("QARVO_SIGN_PASSWORD", ""),
            "timestamp": os.environ.get("QARVO_SIGN_TIMESTAMP", "")}


def sign_file(path, sign):
    """Signs a PE file or the package in place with SHA-256 (and a time stamp when named)."""
    with tempfile.TemporaryDirectory() as tmp:
        # The password goes through a file, never the command line others can read.
        passfile = os.path.join(tmp, "pass")
        with open(os.open(passfile, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(sign["password"])
        signed = os.path.join(tmp, "signed" + os.path.splitext(path)[1])
        command = ["osslsigncode", "sign", "-pkcs12", sign["pfx"], "-readpass", passfile,
                   "-h", "sha256", "-in", path, "-out", signed]
        if sign["timestamp"]:
            command[2:2] = ["-ts", sign["timestamp"]]
        result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit("package: signing %s failed:\n%s%s" % (path, result.stdout, result.stderr))
        shutil.copyfile(signed, path)


def certificate_subject(sign):
    """The certificate's subject as Windows writes a package's Publisher: most specific part
    first, ", " between parts, a value with special characters in double quotes."""
    with tempfile.TemporaryDirectory() as tmp:
        passfile = os.path.join(tmp, "pass")
        with open(os.open(passfile, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(sign["password"])
        pem = subprocess.run(["openssl", "pkcs12", "-in", sign["pfx"], "-passin",
                              "file:" + passfile, "-nokeys", "-clcerts"],
                             capture_output=True, text=True)
        if pem.returncode != 0:
            sys.exit("package: cannot read the certificate of %s:\n%s" % (sign["pfx"], pem.stderr))
    subject = subprocess.run(["openssl", "x509", "-noout", "-subject", "-nameopt",
                              "RFC2253,-esc_msb,utf8"], input=pem.stdout, capture_output=True,
                             text=True, check=True).stdout.strip()
    subject = subject.split("=", 1)[1] if subject.startswith("subject=") else subject
    names = {"ST": "S", "emailAddress": "E"}
    parts = []
    for rdn in split_escaped(subject, ","):
        key, value = rdn.split("=", 1)
        value = unescape_rfc2253(value)
        if any(c in value for c in ',+=<>#;"\n') or value != value.strip():
            value = '"' + value.replace('"', '""') + '"'
        parts.append(names.get(key, key) + "=" + value)
    return ", ".join(parts)


def split_escaped(text, separator):
    parts, current, escaped = [], "", False
    for c in text:
        if escaped:
            current += "\\" + c
            escaped = False
        elif c == "\\":
            escaped = True
        elif c == separator:
            parts.append(current)
            current = ""
        else:
            current += c
    parts.append(current)
    return parts


def unescape_rfc2253(value):
    out, i = "", 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            out += value[i + 1]
            i += 2
        else:
            out += value[i]
            i += 1
    return out


def publisher_id(publisher):
    """The 13 characters Windows derives from a Publisher: the first 64 bits of the SHA-256 of
    its UTF-16 text, in base32."""
    bits = int.from_bytes(hashlib.sha256(publisher.encode("utf-16-le")).digest()[:8], "big") << 1
    return "".join(PUBLISHER_ID_DIGITS[(bits >> (5 * (12 - i))) & 31] for i in range(13))


# --- The package ---------------------------------------------------------------------------

class ZipWriter:
    """A zip written part by part, each part stored or deflated in 64 KiB blocks that are
    compressed one by one, as a package's block map describes them."""

    def __init__(self, path):
        self.file = open(path, "wb")
        self.entries = []
        stamp = time.localtime(time.time())
        self.dostime = (stamp.tm_hour << 11) | (stamp.tm_min << 5) | (stamp.tm_sec // 2)
        self.dosdate = ((stamp.tm_year - 1980) << 9) | (stamp.tm_mon << 5) | stamp.tm_mday

    def add(self, name, data, deflate):
        """Writes one part; returns (local header size, [(block data, compressed size)])."""
        blocks = []
        if deflate:
            compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
            payload = b""
            for start in range(0, max(len(data), 1), BLOCK):
                chunk = data[start:start + BLOCK]
                last = start + BLOCK >= len(data)
                out = compressor.compress(chunk)
                out += compressor.flush(zlib.Z_FINISH if last else zlib.Z_FULL_FLUSH)
                blocks.append((chunk, len(out)))
                payload += out
        else:
            payload = data
            blocks = [(data[s:s + BLOCK], None) for s in range(0, len(data), BLOCK)]
        encoded = name.encode("utf-8")
        method = 8 if deflate else 0
        crc = zlib.crc32(data) & 0xFFFFFFFF
        offset = self.file.tell()
        header = struct.pack("<4sHHHHHIIIHH", b"PK\x03\x04", 20, 0, method, self.dostime,
                             self.dosdate, crc, len(payload), len(data), len(encoded), 0)
        self.file.write(header + encoded + payload)
        self.entries.append((encoded, method, crc, len(payload), len(data), offset))
        return len(header) + len(encoded), blocks

    def close(self):
        start = self.file.tell()
        for encoded, method, crc, packed, size, offset in self.entries:
            self.file.write(struct.pack("<4sHHHHHHIIIHHHHHII", b"PK\x01\x02", 20, 20, 0, method,
                                        self.dostime, self.dosdate, crc, packed, size,
                                        len(encoded), 0, 0, 0, 0, 0, offset) + encoded)
        end = self.file.tell()
        self.file.write(struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, len(self.entries),
                                    len(self.entries), end - start, start, 0))
        self.file.close()


def make_msix(manifest, path):
    """The package: its manifest, the block map of every part before it, and the content
    types (deflated: a stored one does not survive signing)."""
    zip_file = ZipWriter(path)
    lfh, blocks = zip_file.add("AppxManifest.xml", manifest, deflate=True)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<BlockMap xmlns="%s" HashMethod="%s">' % (BLOCKMAP_NS, SHA256_URI),
             '<File Name="AppxManifest.xml" Size="%d" LfhSize="%d">' % (len(manifest), lfh)]
    for data, packed in blocks:
        digest = base64.b64encode(hashlib.sha256(data).digest()).decode()
        size = ' Size="%d"' % packed if packed is not None else ""
        lines.append('<Block Hash="%s"%s/>' % (digest, size))
    lines += ["</File>", "</BlockMap>"]
    zip_file.add("AppxBlockMap.xml", "\r\n".join(lines).encode("utf-8"), deflate=True)
    content_types = (
        '<?xml version="1.0" encoding="UTF-8"?>\r\n'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Override PartName="/AppxManifest.xml" '
        'ContentType="application/vnd.ms-appx.manifest+xml"/>'
        '<Override PartName="/AppxBlockMap.xml" '
        'ContentType="application/vnd.ms-appx.blockmap+xml"/>'
        '</Types>')
    zip_file.add("[Content_Types].xml", content_types.encode("utf-8"), deflate=True)
    zip_file.close()


# --- The package manager's manifest ----------------------------------------------------------

# The schema of the Windows package manager's manifests these files follow.
WINGET_SCHEMA = "1.28.0"
# How the installer is told its kind of installation, by the manifest's scope.
WINGET_SCOPES = (("machine", "/AllUsers"), ("user", "/CurrentUser"))


def yaml_text(value):
    """A YAML scalar in single quotes, which need no escapes but doubled quotes."""
    return "'" + str(value).replace("'", "''") + "'"


def write_winget(folder, identity, setup):
    """The multi-file manifest of the installer: version, default locale and installer files.
    The installer's address is a placeholder on the product's web site until the release is
    published; its hash is the built file's."""
    with open(setup, "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest().upper()
    ident = identity["identifier"]
    head = ["PackageIdentifier: " + yaml_text(ident),
            "PackageVersion: " + yaml_text(identity["version"])]

    def tail(kind):
        return ["ManifestType: " + kind, "ManifestVersion: " + WINGET_SCHEMA]

    def schema(kind):
        return ["# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json"
                % (kind, WINGET_SCHEMA), ""]

    files = {
        ident + ".yaml": schema("version") + head + ["DefaultLocale: en-US"] + tail("version"),
        ident + ".locale.en-US.yaml": schema("defaultLocale") + head + [
            "PackageLocale: en-US",
            "Publisher: " + yaml_text(identity["publisher"]),
            "PublisherUrl: " + yaml_text(identity["website"]),
            "PackageName: " + yaml_text(identity["name"]),
            "PackageUrl: " + yaml_text(identity["website"]),
            "License: " + yaml_text(identity["license"]),
            "Copyright: " + yaml_text(identity["copyright"]),
            "ShortDescription: " + yaml_text(identity["description"]),
        ] + tail("defaultLocale"),
    }
    installer = schema("installer") + head + [
        "InstallerType: nullsoft",
        "InstallModes:", "- interactive", "- silent", "- silentWithProgress",
        "UpgradeBehavior: install",
        "ProductCode: " + yaml_text(identity["product_code"]),
        "Installers:"]
    url = identity["website"] + "download/" + os.path.basename(setup)
    for scope, switch in WINGET_SCOPES:
        installer += ["- Architecture: x64",
                      "  Scope: " + scope,
                      "  InstallerUrl: " + yaml_text(url),
                      "  InstallerSha256: " + sha256]
        if scope == "machine":
            # Started without administrator rights, it asks for them itself.
            installer.append("  ElevationRequirement: elevatesSelf")
        installer += [
            "  InstallerSwitches:",
            "    Silent: /S",
            "    SilentWithProgress: /S",
            "    Custom: " + switch]
    files[ident + ".installer.yaml"] = installer + tail("installer")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, lines in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as f:
            f.write("\n".join(lines) + "\n")


# --- The release ---------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("config", nargs="?")
    parser.add_argument("outdir", nargs="?")
    parser.add_argument("--stage")
    parser.add_argument("--work")
    parser.add_argument("--setup-only", action="store_true")
    parser.add_argument("--setup-name")
    parser.add_argument("--sign")
    parser.add_argument("--keep")
    args = parser.parse_args()

    sign = signing()
    if args.sign:
        if sign:
            sign_file(args.sign, sign)
            if args.keep:
                shutil.copyfile(args.sign, args.keep)
        return

    with open(args.config, encoding="utf-8") as f:
        config = json.load(f)
    out = os.path.abspath(args.outdir)
    work = os.path.abspath(args.work or config["work"])
    stage = os.path.join(work, "stage")
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(args.stage or config["stage"], stage)
    os.makedirs(out, exist_ok=True)

    if sign:
        say("signing with " + sign["pfx"])
        for name in config["programs"]:
            sign_file(os.path.join(stage, name), sign)
        publisher = certificate_subject(sign)
    else:
        say("not signed (QARVO_SIGN_PFX is not set): the package is made all the same, and the "
            "installer leaves Windows 11 to the classic context menu")
        publisher = config["publisher"]

    # The package, and what the installer needs to know of it.
    with open(config["manifest"], encoding="utf-8") as f:
        manifest = f.read().replace("{{PUBLISHER}}", xml_attribute(publisher))
    os.makedirs(os.path.join(work, "msix"), exist_ok=True)
    with open(os.path.join(work, "msix", "AppxManifest.xml"), "w", encoding="utf-8",
              newline="") as f:
        f.write(manifest)
    msix = os.path.join(out, config["msix_name"])
    if not args.setup_only:
        make_msix(manifest.encode("utf-8"), msix)
        if sign:
            sign_file(msix, sign)
    family = config["package_name"] + "_" + publisher_id(publisher)
    with open(os.path.join(work, "Package.nsh"), "w", encoding="utf-8") as f:
        f.write("; Written by installer/package.py.\n")
        if sign and not args.setup_only:
            f.write('!define PACKAGE_FILE "%s"\n!define PACKAGE_FAMILY "%s"\n' % (msix, family))

    # The installer, signed with its uninstaller as the compiler writes them.
    setup = os.path.join(out, args.setup_name or config["setup_name"])
    command = config["makensis"] + ["-DSTAGE=" + stage, "-DOUTFILE=" + setup,
                                    "-DPACKAGE=" + os.path.join(work, "Package.nsh")]
    if sign:
        self_call = '"%s" "%s" --sign' % (sys.executable, os.path.abspath(__file__))
        command.append("-DSIGN=" + self_call)
        command.append("-DSIGN_KEEP=" + os.path.join(work, "Uninstall.exe"))
    command.append(config["script"])
    subprocess.run(command, check=True)
    if args.setup_only:
        return

    # The portable zip: the layout and its extras.
    portable = os.path.join(out, config["portable_name"])
    with zipfile.ZipFile(portable, "w", zipfile.ZIP_DEFLATED) as z:
        for folder, _, files in os.walk(stage):
            for name in sorted(files):
                full = os.path.join(folder, name)
                z.write(full, os.path.relpath(full, stage))
        for extra in config["portable_extras"]:
            z.write(extra, os.path.basename(extra))

    write_winget(os.path.join(out, "winget"), config["winget"], setup)

    for name in (config["setup_name"], config["portable_name"], config["msix_name"]):
        path = os.path.join(out, name)
        say("%s  %d bytes" % (path, os.path.getsize(path)))
    if sign:
        say("signed; package publisher " + publisher)


def xml_attribute(text):
    return (text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
            .replace(">", "&gt;"))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""cmake --install of the desktop program into a temporary DESTDIR, once with
the configured CMAKE_INSTALL_PREFIX and once with another prefix given at
install time: the program, its desktop entry, its hicolor icons, its manual
page and its copyright and changelog land under DESTDIR/<prefix>, and
nowhere else.

  install_test.py BUILD_DIR CONFIGURED_PREFIX
  install_test.py --package BUILD_DIR

With --package, `cpack -G DEB` makes kelvane-paint_<version>_<arch>.deb from
the same install rules: the same files under /usr, owned by root, with
Depends that cover every shared library the program needs (computed by
dpkg-shlibdeps), the control fields Debian asks for, and no error or warning
from lintian (its informational notes are printed).

The desktop entry is checked with desktop-file-validate when Debian's
desktop-file-utils is installed, and by the rules below in any case."""

import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

EXPECTED = {
    "bin/kelvane-paint": "program",
    "share/applications/kelvane-paint.desktop": "desktop",
    "share/icons/hicolor/scalable/apps/kelvane-paint.svg": "svg",
    "share/icons/hicolor/48x48/apps/kelvane-paint.png": "png48",
    "share/man/man1/kelvane-paint.1.gz": "manpage",
    "share/doc/kelvane-paint/copyright": "copyright",
    "share/doc/kelvane-paint/changelog.gz": "changelog",
}
SKIP = 77

failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL: " + msg)


def all_files(root):
    out = set()
    for d, _, files in os.walk(root):
        for f in files:
            out.add(os.path.relpath(os.path.join(d, f), root))
    return out


def parse_desktop(path):
    groups, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line.strip("[]")
                groups[group] = {}
            elif "=" in line and group is not None:
                k, v = line.split("=", 1)
                groups[group][k] = v
    return groups


def check_desktop(path):
    entry = parse_desktop(path).get("Desktop Entry")
    if entry is None:
        return fail("%s has no [Desktop Entry] group" % path)
    want = {"Type": "Application", "Name": "Kelvane Paint", "Exec": "kelvane-paint",
            "Icon": "kelvane-paint", "Terminal": "false",
            # The X11 WM_CLASS and Wayland app id that the SDL host sets.
            "StartupWMClass": "kelvane-paint"}
    for k, v in want.items():
        if entry.get(k) != v:
            fail("desktop entry %s=%r, expected %r" % (k, entry.get(k), v))
    if "Graphics" not in entry.get("Categories", "").split(";"):
        fail("desktop entry not in the Graphics category: %r" % entry.get("Categories"))
    validator = shutil.which("desktop-file-validate")
    if validator is None:
        print("note: desktop-file-validate not installed (Debian: desktop-file-utils); "
              "checked by the rules of this test only")
        return
    r = subprocess.run([validator, path], capture_output=True, text=True)
    if r.returncode != 0 or r.stdout.strip() or r.stderr.strip():
        fail("desktop-file-validate: %s%s" % (r.stdout, r.stderr))
    else:
        print("desktop-file-validate: no complaints")


def check_png48(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return fail("%s is not a PNG" % path)
    w, h = struct.unpack(">II", head[16:24])
    if (w, h) != (48, 48):
        fail("%s is %dx%d, expected 48x48 for the 48x48 hicolor folder" % (path, w, h))


def check_svg(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if "<svg" not in text or "</svg>" not in text:
        fail("%s is not an SVG image" % path)


def check_program(path):
    if not os.access(path, os.X_OK):
        return fail("%s is not executable" % path)
    with open(path, "rb") as f:
        if f.read(4) != b"\x7fELF":
            fail("%s is not an ELF program" % path)


def gunzip_text(path):
    """The text of a gzip file, which must have no name or time stamp in its
    header (gzip -n), so that the same sources give the same package."""
    with open(path, "rb") as f:
        head = f.read(10)
    if head[:2] != b"\x1f\x8b":
        fail("%s is not gzip-compressed" % path)
        return ""
    flags, mtime = head[3], struct.unpack("<I", head[4:8])[0]
    if flags & 0x08 or mtime != 0:
        fail("%s has a file name or time stamp in its gzip header (use gzip -n)" % path)
    with gzip.open(path, "rt", encoding="utf-8") as f:
        return f.read()


def check_manpage(path):
    text = gunzip_text(path)
    if not re.search(r"^\.TH KELVANE-PAINT 1 ", text, re.M) or "\n.SH NAME\nkelvane-paint \\-" \
            not in text:
        fail("%s is not the manual page of kelvane-paint(1)" % path)
    if "@" in text:
        fail("%s has an unsubstituted @VARIABLE@" % path)


def check_copyright(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not re.search(r"^Copyright \d{4} ", text, re.M):
        fail("%s has no copyright line" % path)


def check_changelog(path, version=None):
    """A Debian changelog whose newest entry is this version."""
    first = gunzip_text(path).split("\n", 1)[0]
    m = re.match(r"kelvane-paint \(([^)]+)\) \S+; urgency=\w+$", first)
    if not m:
        fail("%s does not start with a Debian changelog entry: %r" % (path, first))
    elif version is not None and m.group(1) != version:
        fail("%s: newest entry is version %s, the package is %s" % (path, m.group(1), version))


CHECKS = {"program": check_program, "desktop": check_desktop, "svg": check_svg,
          "png48": check_png48, "manpage": check_manpage, "copyright": check_copyright,
          "changelog": check_changelog}


def install(build_dir, destdir, prefix):
    argv = ["cmake", "--install", build_dir]
    if prefix is not None:
        argv += ["--prefix", prefix]
    env = dict(os.environ, DESTDIR=destdir)
    r = subprocess.run(argv, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        fail("%s failed (%d): %s%s" % (" ".join(argv), r.returncode, r.stdout, r.stderr))
        return False
    return True


def run_case(build_dir, prefix, given):
    label = "prefix %s (%s)" % (prefix, "given to cmake --install" if given else "configured")
    print("== " + label)
    with tempfile.TemporaryDirectory(prefix="kp-install-") as destdir:
        if not install(build_dir, destdir, prefix if given else None):
            return
        root = os.path.join(destdir, prefix.lstrip("/"))
        found = all_files(destdir)
        expected = {os.path.relpath(os.path.join(root, rel), destdir) for rel in EXPECTED}
        for missing in sorted(expected - found):
            fail("%s: not installed: %s" % (label, missing))
        for extra in sorted(found - expected):
            fail("%s: unexpected file: %s" % (label, extra))
        for rel, kind in EXPECTED.items():
            path = os.path.join(root, rel)
            if os.path.exists(path):
                CHECKS[kind](path)
        print("%d file(s) under DESTDIR%s" % (len(found & expected), prefix))


# ------------------------------------------------------------ the package

def deb_field(deb, name):
    r = subprocess.run(["dpkg-deb", "--field", deb, name], capture_output=True, text=True)
    return r.stdout.strip()


def depends_packages(depends):
    """Package names in a Depends field, alternatives included."""
    names = set()
    for clause in depends.split(","):
        for alt in clause.split("|"):
            alt = alt.strip()
            if alt:
                names.add(re.split(r"[\s(:]", alt, 1)[0])
    return names


def needed_libraries(program):
    """{soname: path} of the program's direct shared-library dependencies."""
    r = subprocess.run(["objdump", "-p", program], capture_output=True, text=True)
    sonames = re.findall(r"^\s*NEEDED\s+(\S+)$", r.stdout, re.M)
    r = subprocess.run(["ldd", program], capture_output=True, text=True)
    paths = dict(re.findall(r"^\s*(\S+) => (\S+)", r.stdout, re.M))
    return {name: paths.get(name) for name in sonames}


def owning_package(path):
    """The installed Debian package that ships the file (following the usrmerge
    and symbolic-link aliases dpkg may know it by)."""
    candidates = [path, os.path.realpath(path)]
    for p in list(candidates):
        if p.startswith("/usr/lib/"):
            candidates.append(p[len("/usr"):])
    for p in candidates:
        r = subprocess.run(["dpkg-query", "--search", p], capture_output=True, text=True)
        if r.returncode == 0 and r.stdout:
            return r.stdout.split(":", 1)[0].split(",")[0].strip()
    return None


def check_package(build_dir):
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian", "objdump"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed (Debian: cmake, dpkg-dev, lintian, binutils)" % tool)
            return SKIP
    with tempfile.TemporaryDirectory(prefix="kp-deb-") as out:
        r = subprocess.run(["cpack", "-G", "DEB", "-B", out], cwd=build_dir,
                           capture_output=True, text=True)
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        if r.returncode != 0 or len(debs) != 1:
            fail("cpack -G DEB (%d) made %s: %s%s" % (r.returncode, debs or "no package",
                                                     r.stdout, r.stderr))
            return 1
        deb = os.path.join(out, debs[0])
        version, arch = deb_field(deb, "Version"), deb_field(deb, "Architecture")
        print("== %s" % debs[0])
        want_name = "kelvane-paint_%s_%s.deb" % (version, arch)
        if debs[0] != want_name:
            fail("package file %s, expected %s" % (debs[0], want_name))
        host_arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                                   text=True).stdout.strip()
        if arch != host_arch:
            fail("Architecture %r, the program is built for %r" % (arch, host_arch))
        for name, want in (("Package", "kelvane-paint"), ("Section", "graphics"),
                           ("Priority", "optional")):
            if deb_field(deb, name) != want:
                fail("%s: %r, expected %r" % (name, deb_field(deb, name), want))
        if not re.match(r".+ <[^@ ]+@[^> ]+>$", deb_field(deb, "Maintainer")):
            fail("Maintainer %r is not a name with an address" % deb_field(deb, "Maintainer"))
        description = deb_field(deb, "Description").split("\n")
        if len(description) < 2 or not description[0]:
            fail("Description has no synopsis and long description: %r" % description)

        # SDL draws title bars on Wayland compositors that draw none with
        # libdecor, whose drawing plugin libdecor only recommends.
        recommends = deb_field(deb, "Recommends")
        if "libdecor-0-plugin-1" not in recommends:
            fail("Recommends %r does not name libdecor's plugin" % recommends)

        # Every library the program needs comes from a package in Depends.
        depends = deb_field(deb, "Depends")
        print("Depends: %s" % depends)
        named = depends_packages(depends)
        root = os.path.join(out, "root")
        subprocess.run(["dpkg-deb", "--extract", deb, root], check=True)
        program = os.path.join(root, "usr/bin/kelvane-paint")
        for soname, path in sorted(needed_libraries(program).items()):
            owner = owning_package(path) if path else None
            if owner is None:
                fail("no installed package ships %s (%s), needed by the program" % (soname, path))
            elif owner not in named:
                fail("the program needs %s from %s, which Depends does not name"
                     % (soname, owner))

        # The files: exactly the install rules' files under /usr, owned by root.
        listing = subprocess.run(["dpkg-deb", "--contents", deb], capture_output=True,
                                 text=True).stdout.splitlines()
        files = set()
        for line in listing:
            parts = line.split()
            mode, owner, path = parts[0], parts[1], parts[-1]
            if owner != "root/root":
                fail("%s is owned by %s" % (path, owner))
            if not mode.startswith("d"):
                files.add(os.path.normpath(path).lstrip("/").lstrip("."))
        expected = {"usr/" + rel for rel in EXPECTED}
        for missing in sorted(expected - files):
            fail("not in the package: /%s" % missing)
        for extra in sorted(files - expected):
            fail("unexpected file in the package: /%s" % extra)
        for rel, kind in EXPECTED.items():
            path = os.path.join(root, "usr", rel)
            if os.path.exists(path):
                if kind == "changelog":
                    check_changelog(path, version)
                else:
                    CHECKS[kind](path)

        # lintian: errors and warnings fail; informational notes are shown.
        r = subprocess.run(["lintian", "--display-info", deb], capture_output=True,
                           text=True)
        tags = [line for line in r.stdout.splitlines() if re.match(r"^[EWIPX]: ", line)]
        bad = [line for line in tags if line[0] in "EW"]
        print("lintian: %s" % ("; ".join(tags) if tags else "no tags"))
        if r.returncode not in (0, 1) or "Traceback" in r.stderr:
            fail("lintian did not run (%d): %s" % (r.returncode, r.stderr))
        for line in bad:
            fail("lintian: %s" % line)
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--package":
        code = check_package(argv[2])
        print("%d failure(s)" % len(failures))
        return 1 if failures else code
    if len(argv) != 3:
        print(__doc__)
        return 2
    build_dir, configured = argv[1], argv[2]
    run_case(build_dir, configured, given=False)
    run_case(build_dir, "/opt/kelvane-test", given=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

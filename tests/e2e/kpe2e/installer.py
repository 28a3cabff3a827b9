"""The Windows program as a user gets it (check `installer`): its version
resource read back, then cpack's NSIS installer run silently in a fresh Wine
prefix, for all users and for the current user: the installed program draws
a stroke, and the silent uninstall, with the restart that deletes its own copy
in %TEMP%, leaves the prefix's files and registry as they were."""

import filecmp
import os
import re
import shutil
import subprocess

from .checks import NotApplicable, check, expect, expect_picture
from .oracle import BLACK_PEN, ExpectedCanvas
from .targets import make_target

# (mode, installer arguments, the .reg file of its uninstall key, its folder)
MODES = [("all users", [], "system.reg", r"drive_c/Program Files( \(x86\))?/Kelvane Paint"),
         ("current user", ["/CurrentUser"], "user.reg",
          r"drive_c/users/[^/]+/AppData/Local/Programs/Kelvane Paint")]
KEY = r"\\Uninstall\\KelvanePaint]"  # its name as the .reg files write it


def files(prefix):  # every file and folder of drive_c
    return {os.path.relpath(os.path.join(root, name), prefix)
            for root, dirs, names in os.walk(os.path.join(prefix, "drive_c"))
            for name in dirs + names}


def registry(prefix):  # as the wineserver saved it when it last ended
    return {name: open(os.path.join(prefix, name), errors="replace").read()
            for name in ("system.reg", "user.reg")}


def run(target, *argv):
    """Runs a Windows program; waits for all it starts (the uninstaller goes on as a copy)."""
    target.run_tool([target.wine, *argv], timeout=120)
    target.run_tool(["wineserver", "-w"], timeout=120)


def round_trip(session, built, setup, before, row, publisher, version):
    """One row of MODES: install, a stroke, uninstall, restart."""
    target, (mode, args, reg, folder_re) = session.target, row
    run(target, setup, "/S", *args)
    new = sorted(p for p in files(target.prefix) - before
                 if os.path.isfile(os.path.join(target.prefix, p)))
    folder = os.path.dirname(new[0]) if new else ""
    expect(re.fullmatch(folder_re, folder) and [os.path.basename(p) for p in new] == [
        "kelvane-paint.exe", "uninstall.exe", "Kelvane Paint.lnk"] and
        "/Start Menu/Programs/" in new[2], "%s: installed %s" % (mode, new))
    keys = registry(target.prefix)
    expect([name for name, text in keys.items() if KEY in text] == [reg],
           "%s: no uninstall key in %s alone" % (mode, reg))
    entry = keys[reg].split(KEY)[1].split("\n\n")[0]
    expect(all(value in entry for value in (
        '"DisplayName"="Kelvane Paint"', '"DisplayVersion"="%s"' % version,
        '"Publisher"="%s"' % publisher, 'kelvane-paint.exe,0"', '"EstimatedSize"=dword:')),
        "%s: uninstall key %s" % (mode, entry))
    target.exe = os.path.join(target.prefix, new[0])
    expect(filecmp.cmp(target.exe, built, shallow=False), "%s: not the built program" % mode)
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, [(100, 100), (300, 160), (220, 320)], BLACK_PEN)
        expect_picture(app, canvas, "the installed program's stroke")
        expect(app.close() == 0, "%s: the program's exit code is not 0" % mode)
    finally:
        session.finish(app)

    run(target, os.path.join(target.prefix, folder, "uninstall.exe"), "/S")
    # Looked at before any other Wine program: Wine takes the first one that
    # a new wineserver starts for a restart, and then does the deletions left
    # for the restart, as Windows does.
    left = sorted(files(target.prefix) - before)
    session.log("%s: installed %s; until the restart, left %s" % (mode, new, left))
    expect(all(re.fullmatch(r"drive_c/users/[^/]+/Temp/~nsu\d+\.tmp(/Un\.exe)?", p)
               for p in left) and KEY not in "".join(registry(target.prefix).values()),
           "%s: the uninstall left %s or its key" % (mode, left))
    run(target, "wineboot", "-r")
    expect(files(target.prefix) == before, "%s: after the restart, not as before: %s" % (
        mode, sorted(files(target.prefix) ^ before)))
    expect(not re.search("Kelvane|PendingFileRenameOperations",
                         "".join(registry(target.prefix).values())),
           "%s: the registry still names Kelvane or a pending deletion" % mode)


@check("installer")
def installer(session):
    built, work = session.target.exe, session.target.work_dir
    if session.target.name != "wine":
        raise NotApplicable("the installer is for the Windows build")
    if shutil.which("makensis") is None:
        raise NotApplicable("NSIS is not installed (no makensis; Debian's nsis)")
    try:
        import pefile
    except ImportError:
        raise NotApplicable("python3-pefile is not installed: no reading the version resource")
    config = os.path.join(os.path.dirname(built), "CPackConfig.cmake")  # the build's
    version = re.search(r'CPACK_PACKAGE_VERSION "(.*)"', open(config).read()).group(1)
    strings = {k.decode(): v.decode() for info in getattr(pefile.PE(built), "FileInfo", [[]])[0]
               for table in getattr(info, "StringTable", []) for k, v in table.entries.items()}
    want = {"FileDescription": "Kelvane Paint", "ProductName": "Kelvane Paint",
            "OriginalFilename": "kelvane-paint.exe", "FileVersion": version,
            "ProductVersion": version}
    expect(want.items() <= strings.items() and strings.get("CompanyName") and
           strings.get("LegalCopyright"), "version resource %s" % strings)

    out, prefix = os.path.join(work, "package"), os.path.join(work, "installer-wineprefix")
    subprocess.run(["cpack", "-G", "NSIS", "--config", config, "-B", out], check=True,
                   stdout=subprocess.DEVNULL, timeout=120)
    setup = os.path.join(out, "kelvane-paint-%s-setup.exe" % version)
    shutil.rmtree(prefix, ignore_errors=True)
    shared, session.target = session.target, make_target("wine", built, work, session.log, prefix)
    try:
        session.target.setup(shared.display)
        before = files(prefix)
        for row in MODES:
            round_trip(session, built, setup, before, row, strings["CompanyName"], version)
    finally:
        fresh, session.target = session.target, shared
        problems = fresh.teardown()
    expect(not problems, "; ".join(problems))
    shutil.rmtree(prefix)  # 1.3 GB of Wine; kept after a failure, for a look
    return "version resource %s; a %d-byte installer; installed, drew, uninstalled for %s" % (
        strings, os.path.getsize(setup), " and for ".join(row[0] for row in MODES))

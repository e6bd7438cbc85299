#!/usr/bin/env python3
"""quillmere-cli.exe end to end under Wine: one table of scenarios, each run through the real
console program in the test prefix (its HKCU settings, a Temp folder and user folders built
below C:\\qm-cli), its JSON read with Python's json module and the disk checked afterwards.

Usage: cli_test.py <build folder>   (WINEPREFIX and the rest of Wine's environment set, as
scripts/test.sh does; the e2e executable holds the resident program's clean for one scenario)
"""
import contextlib
import json
import os
import pwd
import re
import shutil
import sqlite3
import subprocess
import sys
import time
from collections import Counter
from pathlib import Path

BUILD = Path(sys.argv[1]).resolve()
BIN = BUILD / "bin"
SOURCE = Path(__file__).resolve().parents[2]
DRIVE_C = Path(os.environ["WINEPREFIX"]) / "drive_c"
ROOT = DRIVE_C / "qm-cli"
SETTINGS_KEY = r"HKEY_CURRENT_USER\Software\Dorvik Software\Quillmere"

# Names that have tripped path handling before: blanks, "%" and ";", letters beyond ASCII.
ODD_NAMES = ["plain.tmp", "two  blanks.txt", "per%cent;semi.log", "\u00fcn\u00efcode-\u00e9\u00df.txt", "\u65e5\u672c.dat"]


def windows_path(path):
    """The Windows form of a path below the prefix's drive C or of any Unix path (drive Z)."""
    path = Path(path)
    try:
        return "C:\\" + str(path.relative_to(DRIVE_C)).replace("/", "\\")
    except ValueError:
        return "Z:" + str(path).replace("/", "\\")


def wine(*args, timeout=180):
    return subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)


def write_settings(values):
    """Replaces the program's settings by values: {"CleanPath\\TempFiles": "Yes", "FirstRun": "No", ...}."""
    lines = ["Windows Registry Editor Version 5.00", "", r"[-HKEY_CURRENT_USER\Software\Dorvik Software]", ""]
    keys = {}
    for name, value in values.items():
        subkey, _, value_name = name.rpartition("\\")
        keys.setdefault(subkey, []).append((value_name, value))
    for subkey, pairs in keys.items():
        lines.append("[" + SETTINGS_KEY + ("\\" + subkey if subkey else "") + "]")
        for value_name, value in pairs:
            lines.append('"%s"="%s"' % (value_name, value.replace("\\", "\\\\").replace('"', '\\"')))
        lines.append("")
    reg = ROOT / "settings.reg"
    reg.write_bytes("\r\n".join(lines).encode("utf-16"))
    result = wine("regedit", "/S", windows_path(reg))
    assert result.returncode == 0, "regedit failed: %r" % result.stderr


def run_in_cmd(lines, *arguments, timeout=180):
    """Runs a batch file of lines through cmd (Wine takes Temp from the registry, not from
    the Unix environment, so the batch file sets it as a script would)."""
    batch = ROOT / "run.bat"
    batch.write_bytes(("\r\n".join(["@echo off"] + lines) + "\r\n").encode("utf-8"))
    return wine("cmd", "/c", windows_path(batch), *arguments, timeout=timeout)


def run_cli(arguments, temp=None, timeout=180):
    temp = temp or ROOT / "temp"
    return run_in_cmd(["set TEMP=" + windows_path(temp), "set TMP=" + windows_path(temp),
                       '"%s" %%*' % windows_path(BIN / "quillmere-cli.exe")], *arguments, timeout=timeout)


def run_auto(temp):
    return run_in_cmd(["set TEMP=" + windows_path(temp), '"%s" auto' % windows_path(BIN / "Quillmere.exe")])


def outputs(result):
    """Both streams of a run, for a failure message: Wine's start.exe, which "wine cmd" goes
    through, reports a program it could not start on standard output with exit code 1."""
    return "stdout: %r; stderr: %r" % (result.stdout[-600:], result.stderr[-600:])


def snapshot(folder):
    """Every file and folder below folder: relative path -> bytes (None for a folder)."""
    found = {}
    for path in sorted(Path(folder).rglob("*")):
        found[str(path.relative_to(folder))] = None if path.is_dir() else path.read_bytes()
    return found


def build_tree(folder, files=ODD_NAMES, nested=True):
    """A folder of files with odd names (and a nested subfolder); returns their Windows paths."""
    folder.mkdir(parents=True, exist_ok=True)
    made = []
    for index, name in enumerate(files):
        (folder / name).write_bytes(b"x" * (100 + index))
        made.append(folder / name)
    if nested:
        (folder / "sub" / "deeper").mkdir(parents=True)
        (folder / "sub" / "deeper" / "inner.bin").write_bytes(b"\0" * 4096)
        made.append(folder / "sub" / "deeper" / "inner.bin")
    return {windows_path(path): path.stat().st_size for path in made}


def fresh_fixture():
    """C:\\qm-cli with a Temp folder, a user folder and, beside them, files no clean may touch."""
    if ROOT.exists():
        shutil.rmtree(ROOT)
    ROOT.mkdir(parents=True)
    fixture = {"temp": build_tree(ROOT / "temp"), "mine": build_tree(ROOT / "my folder")}
    build_tree(ROOT / "outside", nested=False)
    (ROOT / "ie").mkdir()
    (ROOT / "ie" / "index.dat").write_bytes(b"Client UrlCache MMF Ver 5.2")
    return fixture


def parse_json(stdout):
    assert not stdout.startswith(b"\xef\xbb\xbf"), "the JSON starts with a BOM"
    return json.loads(stdout.decode("utf-8"))


def removed_files(document):
    return {item["path"]: item["bytes"] for item in document["removed"] if item["type"] == "file"}


def counted(items, where=""):
    """Items as a multiset of (type, path, host, name), those below where only; each must be
    reported once."""
    found = Counter((i["type"], i["path"], i.get("host", ""), i.get("name", "")) for i in items
                    if i["path"].startswith(where))
    twice = [item for item, count in found.items() if count > 1]
    assert not twice, "reported more than once: %r" % twice
    return found


def expect_clean_as_previewed(preview, clean, where=""):
    """The clean removed and kept exactly what the preview listed, each item once, and its
    totals are the preview's."""
    for key in ("removed", "kept", "refused", "failed"):
        done, listed = counted(clean[key], where), counted(preview[key], where)
        assert done == listed, "%s: %r, listed %r" % (key, done - listed, listed - done)
    assert clean["totals"] == preview["totals"], (clean["totals"], preview["totals"])


# ---- Scenario checks: each gets the fixture and the finished run ----------------------------

def last_logged_clean():
    """The clean log's last line, read from the prefix (the log lives in the user's local
    application data folder, which Wine keeps below drive_c\\users\\<Unix user>)."""
    log = (Path(os.environ["WINEPREFIX"]) / "drive_c" / "users" / pwd.getpwuid(os.getuid()).pw_name / "AppData" /
           "Local" / "Quillmere" / "CleanLog.jsonl")
    return json.loads(log.read_bytes().splitlines()[-1])


def fixture_state():
    return {name: snapshot(ROOT / name) for name in ("temp", "my folder", "outside")}


def check_preview_deletes_nothing(fixture, result):
    document = parse_json(result.stdout)
    assert document["command"] == "preview" and document["kinds"] == ["temp", "folders"], document["kinds"]
    expected = {**fixture["temp"], **fixture["mine"]}
    assert removed_files(document) == expected, "listed %r, expected %r" % (removed_files(document), expected)
    assert document["totals"]["files"] == len(expected) and document["totals"]["bytes"] == sum(expected.values())
    assert document["exitCode"] == 0 and not document["refused"] and not document["failed"]
    assert fixture_state() == fixture["before"], "the preview changed the disk"


def check_clean_removes_what_preview_listed(fixture, result):
    preview = parse_json(result.stdout)
    outside = snapshot(ROOT / "outside")
    clean = run_cli(["clean", "--temp", "--folders", "--json"])
    assert clean.returncode == 0, clean.stderr.decode("utf-8", "replace")
    document = parse_json(clean.stdout)
    expect_clean_as_previewed(preview, document)
    assert document["trigger"] == "console" and re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", document["time"])
    assert document["user"] and document["computer"] and document["durationMs"] >= 0, document
    logged = last_logged_clean()
    assert {key: logged[key] for key in document} == document, "the clean log's line differs from the report"
    assert snapshot(ROOT / "temp") == {}, "Temp still holds %r" % snapshot(ROOT / "temp")
    assert (ROOT / "temp").is_dir() and (ROOT / "my folder").is_dir(), "a cleaned root itself was removed"
    assert snapshot(ROOT / "outside") == outside, "files outside the cleaned folders changed"


def check_refused_root(fixture, result):
    document = parse_json(result.stdout)
    refused = document["refused"]
    assert [item["path"] for item in refused] == ["C:\\windows"], refused
    assert refused[0]["kind"] == "folders" and "System Folder" in refused[0]["reason"], refused[0]
    assert document["exitCode"] == 1 and document["totals"]["refused"] == 1
    assert not document["removed"], "something was removed next to a refused root"
    assert (ROOT / "outside" / "plain.tmp").exists()


def check_table_names_refusal(fixture, result):
    text = result.stdout.decode("utf-8")
    assert re.search(r"^refuse +folders +C:\\windows .*System Folder", text, re.M), text
    assert "Refused: 1." in text, text


def check_settings_choose_kinds(fixture, result):
    document = parse_json(result.stdout)
    assert document["kinds"] == ["temp"], document["kinds"]
    assert snapshot(ROOT / "temp") == {} and len(snapshot(ROOT / "my folder")) > 0


def check_resident_clean_blocks_others(fixture, result):
    """The resident program's clean (its question open) holds the lock: the console program
    ends with 3 and touches nothing, "auto" skips; once it lets go, both clean."""
    marker, release = ROOT / "resident.txt", ROOT / "release.txt"
    holder = subprocess.Popen(["wine", str(BIN / "quillmere_e2e_tests.exe"), "--gtest_also_run_disabled_tests",
                               "--gtest_filter=ProgramTest.DISABLED_ResidentCleanHoldsTheLockUntilReleased"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        deadline = time.time() + 90
        while not marker.exists() and holder.poll() is None and time.time() < deadline:
            time.sleep(0.2)
        assert marker.exists(), "the resident program's clean did not start"
        write_settings(TEMP_ONLY)  # the helper starts from empty settings: "auto" is to clean Temp
        before = snapshot(ROOT / "temp")
        refused = run_cli(["clean", "--temp", "--json"])
        assert refused.returncode == 3, (refused.returncode, outputs(refused))
        assert refused.stdout == b"", refused.stdout
        assert "Another clean is running" in refused.stderr.decode("utf-8"), refused.stderr
        skipped = run_auto(ROOT / "temp")
        assert skipped.returncode == 0, (skipped.returncode, outputs(skipped))
        assert snapshot(ROOT / "temp") == before, "a clean ran beside the resident program's"
    finally:
        release.write_text("go")
        output = holder.communicate(timeout=120)[0].decode("utf-8", "replace")
    assert holder.returncode == 0, output[-2000:]
    write_settings(TEMP_ONLY)
    auto = run_auto(ROOT / "temp")
    assert auto.returncode == 0 and snapshot(ROOT / "temp") == {}, \
        "auto did not clean once free (exit %d): %r; %s" % (auto.returncode, sorted(snapshot(ROOT / "temp")), outputs(auto))
    assert last_logged_clean()["trigger"] == "auto", "auto's clean left no line in the clean log"
    after = run_cli(["clean", "--temp", "--json"])
    assert after.returncode == 0, outputs(after)


def readme_task_argument():
    """The scheduled task's cmd.exe arguments, as the README's example writes them."""
    readme = (SOURCE / "README.md").read_text(encoding="utf-8")
    found = re.search(r"New-ScheduledTaskAction -Execute 'cmd\.exe' -Argument '((?:[^']|'')*)'", readme)
    assert found, "the README has no scheduled-task example"
    return found.group(1).replace("''", "'")


def check_readme_task_runs_as_written(fixture, result):
    """Runs the README's task action (cmd.exe with its arguments, %LOCALAPPDATA% expanded by
    cmd when the task runs) for a user whose profile path holds a blank."""
    local = ROOT / "Local App Data"
    installed = local / "Programs" / "Quillmere"
    installed.mkdir(parents=True)
    shutil.copy(BIN / "quillmere-cli.exe", installed / "quillmere-cli.exe")
    ran = run_in_cmd(["set LOCALAPPDATA=" + windows_path(local), "set TEMP=" + windows_path(ROOT / "temp"),
                      "cmd " + readme_task_argument()])
    assert ran.returncode == 0, (ran.returncode, ran.stderr)
    logs = list(local.glob("*.json"))
    assert len(logs) == 1, "expected one JSON log in %s, found %r" % (local, logs)
    document = parse_json(logs[0].read_bytes())
    assert document["command"] == "clean" and document["kinds"] == ["temp"], document
    assert snapshot(ROOT / "temp") == {}


# ---- A browser profile: the user's shell folders pointed into C:\qm-cli for one scenario -----

SHELL_KEYS = [r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders",
              r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"]
CHROME = ROOT / "profile" / "Local" / "Google" / "Chrome" / "User Data" / "Default"
KEPT, GONE = (".example.com", "SID"), (".tracker.net", "id")


class BrowserProfile:
    """A Chrome profile with two cookies (one kept) and a cache holding an Outlook folder; the
    shell folders point at it while it lives and are put back afterwards."""

    def __enter__(self):
        for index, key in enumerate(SHELL_KEYS):
            wine("reg", "export", key, windows_path(ROOT.parent / ("qm-cli-shell-%d.reg" % index)), "/y")
        folders = {name: ROOT / "profile" / name for name in ("Local", "Roaming", "INetCache", "INetCookies")}
        for folder in folders.values():
            folder.mkdir(parents=True)
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key in SHELL_KEYS:
            lines += ["[" + key.replace("HKCU", "HKEY_CURRENT_USER") + "]"]
            for value, folder in (("Local AppData", "Local"), ("AppData", "Roaming"), ("Cache", "INetCache"),
                                  ("Cookies", "INetCookies")):
                lines.append('"%s"="%s"' % (value, windows_path(folders[folder]).replace("\\", "\\\\")))
            lines.append("")
        (ROOT / "shell.reg").write_bytes("\r\n".join(lines).encode("utf-16"))
        assert wine("regedit", "/S", windows_path(ROOT / "shell.reg")).returncode == 0
        (CHROME / "Network").mkdir(parents=True)
        with sqlite3.connect(CHROME / "Network" / "Cookies") as db:
            db.executescript(CHROMIUM_SCHEMA)
            db.executemany("INSERT INTO cookies(creation_utc, host_key, name, value, expires_utc) "
                           "VALUES(13300000000000000, ?, ?, 'v', 13400000000000000)", [KEPT, GONE])
        cache = CHROME / "Cache" / "Cache_Data"
        (cache / "Content.Outlook" / "ABCD1234").mkdir(parents=True)
        (cache / "Content.Outlook" / "ABCD1234" / "offer.docx").write_bytes(b"the only edited copy")
        (cache / "f_000001").write_bytes(b"c" * 300)
        # Nested folders of today's caches: each file below them goes once.
        for relative in ("Cache/Cache_Data/index", "Cache/index-dir/the-real-index", "Code Cache/js/index-dir/a",
                         "Code Cache/wasm/index", "GPUCache/data_1"):
            (CHROME / relative).parent.mkdir(parents=True, exist_ok=True)
            (CHROME / relative).write_bytes(relative.encode())
        (folders["INetCache"] / "IE" / "AB12CD34").mkdir(parents=True)
        (folders["INetCache"] / "IE" / "AB12CD34" / "page[1].htm").write_bytes(b"page")
        return self

    def __exit__(self, *error):
        for index in range(len(SHELL_KEYS)):
            wine("reg", "import", windows_path(ROOT.parent / ("qm-cli-shell-%d.reg" % index)))
            (ROOT.parent / ("qm-cli-shell-%d.reg" % index)).unlink()

    @staticmethod
    def cookies_left():
        with sqlite3.connect(CHROME / "Network" / "Cookies") as db:
            return sorted(db.execute("SELECT host_key, name FROM cookies"))


CHROMIUM_SCHEMA = """
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
INSERT INTO meta VALUES('version','21');
CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, top_frame_site_key TEXT NOT NULL
 DEFAULT '', name TEXT NOT NULL, value TEXT NOT NULL, encrypted_value BLOB NOT NULL DEFAULT x'', path TEXT
 NOT NULL DEFAULT '/', expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL DEFAULT 1, is_httponly
 INTEGER NOT NULL DEFAULT 0, last_access_utc INTEGER NOT NULL DEFAULT 0, has_expires INTEGER NOT NULL
 DEFAULT 1, is_persistent INTEGER NOT NULL DEFAULT 1, priority INTEGER NOT NULL DEFAULT 1, samesite INTEGER
 NOT NULL DEFAULT -1, source_scheme INTEGER NOT NULL DEFAULT 2, source_port INTEGER NOT NULL DEFAULT 443,
 last_update_utc INTEGER NOT NULL DEFAULT 0);
"""


def check_browser_preview_then_clean(fixture, result):
    """Cookie rows and a cache: the preview lists the unkept row as removed, the kept row and
    Outlook's folder as kept, and changes nothing; the clean then does exactly that."""
    with BrowserProfile() as profile:
        database = windows_path(CHROME / "Network" / "Cookies")
        preview = run_cli(["preview", "--internet", "--cookies", "--json"])
        assert preview.returncode == 0, preview.stderr.decode("utf-8", "replace")
        listed = parse_json(preview.stdout)
        mine = lambda items: counted(items, "C:\\qm-cli\\")
        outlook = windows_path(CHROME / "Cache" / "Cache_Data" / "Content.Outlook")
        assert ("cookie", database) + GONE in mine(listed["removed"]), listed["removed"]
        assert ("cookie", database) + KEPT in mine(listed["kept"]), listed["kept"]
        assert ("folder", outlook, "", "") in mine(listed["kept"]), listed["kept"]
        assert ("file", windows_path(CHROME / "Cache" / "Cache_Data" / "f_000001"), "", "") in mine(listed["removed"])
        assert profile.cookies_left() == sorted([KEPT, GONE]), "the preview changed the database"
        assert (CHROME / "Cache" / "Cache_Data" / "f_000001").exists()
        clean = run_cli(["clean", "--internet", "--cookies", "--json"])
        cleaned = parse_json(clean.stdout)
        expect_clean_as_previewed(listed, cleaned, "C:\\qm-cli\\")
        assert profile.cookies_left() == [KEPT], profile.cookies_left()
        for emptied in (CHROME / "Code Cache", CHROME / "GPUCache", ROOT / "profile" / "INetCache"):
            assert snapshot(emptied) == {}, snapshot(emptied)
        assert sorted(snapshot(CHROME / "Cache")) == ["Cache_Data", "Cache_Data/Content.Outlook",
                                                       "Cache_Data/Content.Outlook/ABCD1234",
                                                       "Cache_Data/Content.Outlook/ABCD1234/offer.docx"]
        assert (CHROME / "Cache" / "Cache_Data" / "Content.Outlook" / "ABCD1234" / "offer.docx").read_bytes() == \
            b"the only edited copy"
        assert not (CHROME / "Cache" / "Cache_Data" / "f_000001").exists()


FIREFOX_SCHEMA = """
CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER,
 isSecure INTEGER, isHttpOnly INTEGER, CONSTRAINT moz_uniqueid UNIQUE (name, host, path));
INSERT INTO moz_cookies(host, name, value, path, expiry) VALUES('.ff.example', 'F', 'v', '/', 1900000000);
"""


def stamps(folder):
    """Every file and folder below folder: relative path -> (size, modification time, bytes)."""
    return {str(path.relative_to(folder)): (path.stat().st_size, path.stat().st_mtime_ns,
                                            None if path.is_dir() else path.read_bytes())
            for path in sorted(Path(folder).rglob("*"))}


def firefox_profile_with_full_wal(roaming):
    """A Firefox profile whose cookies.sqlite has a row only in its "-wal", as a crash leaves
    it, and an older profile with a cookies.txt; returns the database."""
    firefox = roaming / "Mozilla" / "Firefox"
    profile = firefox / "Profiles" / "ab12cd.default-release"
    profile.mkdir(parents=True)
    (firefox / "profiles.ini").write_text("[Profile0]\r\nName=default-release\r\nIsRelative=1\r\n"
                                          "Path=Profiles/ab12cd.default-release\r\n")
    (firefox / "Profiles" / "old.default").mkdir()
    (firefox / "Profiles" / "old.default" / "cookies.txt").write_bytes(
        b"# Netscape HTTP Cookie File\n.txt.example\tTRUE\t/\tFALSE\t1900000000\tT\tv\n")
    database = profile / "cookies.sqlite"
    db = sqlite3.connect(database, isolation_level=None)
    db.execute("PRAGMA journal_mode=WAL")
    db.executescript(FIREFOX_SCHEMA)
    db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    db.execute("PRAGMA wal_autocheckpoint=0")
    db.execute("INSERT INTO moz_cookies(host, name, value, path, expiry) VALUES('wal.only', 'W', 'v', '/', 1900000000)")
    crashed = {suffix: Path(str(database) + suffix).read_bytes() for suffix in ("", "-wal")}
    db.close()  # checkpoints and removes the "-wal": put back the files as they were before
    for suffix, data in crashed.items():
        Path(str(database) + suffix).write_bytes(data)
    Path(str(database) + "-shm").unlink(missing_ok=True)
    return database


def check_preview_changes_no_store(fixture, result):
    """A preview of every kind of cookie store (a Chromium database, a Firefox database with a
    full "-wal", a cookies.txt, Internet Explorer cookie files) changes no name, size, time or
    byte, and still reads the rows only in the "-wal"."""
    with BrowserProfile():
        database = firefox_profile_with_full_wal(ROOT / "profile" / "Roaming")
        (ROOT / "profile" / "INetCookies" / "me@ie.example[1].txt").write_bytes(
            b"id\n42\nie.example/\n0\n0\n31000000\n0\n30000000\n*\n")
        time.sleep(0.05)  # a change right after the files were made still shows in their times
        before = stamps(ROOT / "profile")
        assert str(Path("Roaming/Mozilla/Firefox/Profiles/ab12cd.default-release/cookies.sqlite-wal")) in before
        preview = run_cli(["preview", "--cookies", "--json"])
        assert preview.returncode == 0, preview.stderr.decode("utf-8", "replace")
        removed = {(i["path"], i.get("host", ""), i.get("name", "")) for i in parse_json(preview.stdout)["removed"]}
        for item in [(windows_path(database), "wal.only", "W"), (windows_path(database), ".ff.example", "F"),
                     (windows_path(CHROME / "Network" / "Cookies"),) + GONE]:
            assert item in removed, (item, removed)
        assert any(path.endswith("cookies.txt") for path, _, _ in removed), removed
        assert any(path.endswith("me@ie.example[1].txt") for path, _, _ in removed), removed
        after = stamps(ROOT / "profile")
        changed = sorted(name for name in before.keys() | after.keys() if before.get(name) != after.get(name))
        assert not changed, "the preview changed %r" % changed


@contextlib.contextmanager
def held_open(path):
    """An SQLite file at path, held under an exclusive lock by another process (as a browser
    holds its database) while the block runs."""
    with sqlite3.connect(path) as db:
        db.execute("CREATE TABLE t(x)")
    holder = subprocess.Popen(["wine", str(BIN / "quillmere_db_holder.exe"), windows_path(path)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + 60
        while not path.with_name(path.name + ".held").exists() and time.time() < deadline:
            time.sleep(0.1)
        yield
    finally:
        path.with_name(path.name + ".release").write_text("go")
        holder.wait(timeout=60)


def check_file_in_use_stays_in_both(fixture, result):
    """A file another program holds open (a database under a lock, as a browser holds it) is
    kept, with its folder, by the preview and by the clean alike; that is no failure."""
    held = ROOT / "temp" / "held" / "in-use.db"
    held.parent.mkdir()
    with held_open(held):
        preview = parse_json(run_cli(["preview", "--temp", "--json"]).stdout)
        clean = run_cli(["clean", "--temp", "--json"])
        cleaned = parse_json(clean.stdout)
    kept = {(item["path"], item["reason"]) for item in preview["kept"]}
    assert kept == {(windows_path(held), "in use by another program"), (windows_path(held.parent), "holds what stays")}, kept
    assert {(i["path"], i["reason"]) for i in cleaned["kept"]} == kept, cleaned["kept"]
    assert {i["path"] for i in cleaned["removed"]} == {i["path"] for i in preview["removed"]}
    assert clean.returncode == 0 and cleaned["exitCode"] == 0 and held.exists()


def check_in_use_waits_for_the_next_start(fixture, result):
    """With "Remove Dat Files" on, a Firefox session file another program holds is kept by the
    preview and the clean alike as going at the program's next start; nothing is handed to the
    system's restart."""
    with BrowserProfile():
        profile = ROOT / "profile" / "Roaming" / "Mozilla" / "Firefox" / "Profiles" / "ab12.default"
        profile.mkdir(parents=True)
        held = profile / "sessionstore.js"
        with held_open(held):
            write_settings({"CleanDat": "Yes", "FirstRun": "No"})
            preview = parse_json(run_cli(["preview", "--internet", "--json"]).stdout)
            clean = run_cli(["clean", "--internet", "--json"])
            cleaned = parse_json(clean.stdout)
    # Discovery spells the profiles folder "FireFox": paths compare without regard to case.
    expected = (windows_path(held).lower(), "in use by another program; removed at the next start")
    for document in (preview, cleaned):
        assert expected in {(i["path"].lower(), i["reason"]) for i in document["kept"]}, document["kept"]
        assert document["scheduled"] == [], document["scheduled"]
    assert clean.returncode == 0 and held.exists()


def check_access_denied_is_refused(fixture, result):
    """A file the system will not let this user delete is refused as "access denied", not
    kept as in use: exit 1, with its folder kept as holding it. Wine answers so for a file
    with no write permission whose mode cannot be changed (immutable on the Unix side)."""
    denied = ROOT / "temp" / "guarded" / "denied.txt"
    denied.parent.mkdir()
    denied.write_bytes(b"stays")
    denied.chmod(0o444)
    subprocess.run(["chattr", "+i", str(denied)], check=True)
    try:
        clean = run_cli(["clean", "--temp", "--json"])
    finally:
        subprocess.run(["chattr", "-i", str(denied)], check=True)
    document = parse_json(clean.stdout)
    assert {(i["path"], i["reason"]) for i in document["refused"]} == \
        {(windows_path(denied), "access denied to this user")}, document["refused"]
    assert {(i["path"], i["reason"]) for i in document["kept"]} == {(windows_path(denied.parent), "holds what stays")}
    assert clean.returncode == 1 and document["exitCode"] == 1 and denied.read_bytes() == b"stays"


def check_restart_preview_schedules_nothing(fixture, result):
    """--restart in a preview lists the index file the clean would hand to the restart, only in
    a store discovery lists (the Internet cache shell folder), never in a folder a setting
    merely names; the system's list of pending operations stays as it was."""
    pending = [r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager", "/v", "PendingFileRenameOperations"]
    before = wine("reg", "query", *pending).stdout
    assert parse_json(result.stdout)["scheduled"] == [], "a folder a setting merely names was taken for a store"
    with BrowserProfile():
        inetcache = ROOT / "profile" / "INetCache"
        (inetcache / "index.dat").write_bytes(b"Client UrlCache MMF Ver 5.2")
        write_settings({"MSTIF": windows_path(inetcache) + "\\", "MSTIFIE5": "C:\\qm-cli\\ie\\"})
        document = parse_json(run_cli(["preview", "--restart", "--json"]).stdout)
    index = windows_path(inetcache / "index.dat")
    assert [(i["path"], i["replacement"]) for i in document["scheduled"]] == [(index, "")], document["scheduled"]
    assert wine("reg", "query", *pending).stdout == before, "the preview scheduled something"


def check_squatted_lock(fixture, result):
    """Another program squatting the lock's names as another user would (the old global name,
    and the first name the lock tries) stops no clean; one squatting every name is named as
    such, with 3, and nothing is cleaned."""
    marker, release = ROOT / "squatting.txt", ROOT / "squat-release.txt"
    for squat_all in (True, False):
        environment = dict(os.environ, **({"QM_SQUAT_ALL": "1"} if squat_all else {}))
        squatter = subprocess.Popen(["wine", str(BIN / "quillmere_clean_tests.exe"), "--gtest_also_run_disabled_tests",
                                     "--gtest_filter=CleanLockSquatter.DISABLED_SquatsTheLockNamesUntilReleased"],
                                    env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT)
        try:
            deadline = time.time() + 60
            while not marker.exists() and squatter.poll() is None and time.time() < deadline:
                time.sleep(0.1)
            assert marker.exists(), "the squatter did not start"
            before = snapshot(ROOT / "temp")
            ran = run_cli(["clean", "--temp", "--json"])
        finally:
            release.write_text("go")
            output = squatter.communicate(timeout=60)[0].decode("utf-8", "replace")
            marker.unlink(missing_ok=True)
            release.unlink()
        assert squatter.returncode == 0, output[-2000:]
        if squat_all:
            assert ran.returncode == 3, (ran.returncode, ran.stderr)
            assert "held by a program that is not Quillmere" in ran.stderr.decode("utf-8"), ran.stderr
            assert snapshot(ROOT / "temp") == before, "a clean ran without the lock"
        else:
            assert ran.returncode == 0, (ran.returncode, ran.stderr)
            assert snapshot(ROOT / "temp") == {}, "the squatter stopped the clean"


# name, settings, command line, exit code, text expected on stdout / stderr, check
TEMP_ONLY = {"CleanPath\\TempFiles": "Yes", "FirstRun": "No"}
SCENARIOS = [
    ("help", {}, ["--help"], 0, "Usage: quillmere-cli preview [KINDS] [--json]", "", None),
    ("version", {}, ["--version"], 0, "quillmere-cli 5.0.0", "", None),
    ("no command", {}, [], 2, "", "quillmere-cli: No command given: use preview or clean.", None),
    ("unknown option", {}, ["clean", "--everything"], 2, "", 'Unknown option "--everything".', None),
    ("unknown command", {}, ["purge", "--temp"], 2, "", 'Unknown command "purge": use preview or clean.', None),
    ("two commands", {}, ["preview", "clean"], 2, "", 'Unexpected argument "clean".', None),
    ("preview lists and deletes nothing", {"UserFolder\\File0": "C:\\qm-cli\\my folder"},
     ["preview", "--folders", "--temp", "--json"], 0, "", "", check_preview_deletes_nothing),
    ("clean after preview removes exactly the listed set", {"UserFolder\\File0": "C:\\qm-cli\\my folder"},
     ["preview", "--temp", "--folders", "--json"], 0, "", "", check_clean_removes_what_preview_listed),
    ("a refused root gives 1 and its reason", {"UserFolder\\File0": "C:\\windows"},
     ["clean", "--folders", "--json"], 1, "", "", check_refused_root),
    ("the table names the refusal too", {"UserFolder\\File0": "C:\\windows"},
     ["preview", "--folders"], 1, "Would remove: 0 files", "", check_table_names_refusal),
    ("a browser: preview lists kept cookies and Outlook's folder, the clean does the same",
     {"ChromiumSavedCookies\\0": "example.com\tSID\tv"}, ["--version"], 0, "", "", check_browser_preview_then_clean),
    ("a preview of every kind of cookie store changes nothing", {"ChromiumSavedCookies\\0": "example.com\tSID\tv"},
     ["--version"], 0, "", "", check_preview_changes_no_store),
    ("a file in use stays in the preview and in the clean", {}, ["--version"], 0, "", "",
     check_file_in_use_stays_in_both),
    ("a file the system refuses to the user gives 1, not in use", {}, ["--version"], 0, "", "",
     check_access_denied_is_refused),
    ("a file in use waits for the next start, not for the restart", {}, ["--version"], 0, "", "",
     check_in_use_waits_for_the_next_start),
    ("--restart in a preview schedules nothing, and only in a listed store", {"MSTIF": "C:\\qm-cli\\ie\\"},
     ["preview", "--restart", "--json"], 0, "", "", check_restart_preview_schedules_nothing),
    ("no kinds: what the settings select", {**TEMP_ONLY, "UserFolder\\File0": "C:\\qm-cli\\my folder"},
     ["CLEAN", "--JSON"], 0, "", "", check_settings_choose_kinds),
    ("a clean while the resident program cleans gives 3", TEMP_ONLY, ["--version"], 0, "", "",
     check_resident_clean_blocks_others),
    ("a squatter of the lock's names stops no clean; one of every name is named", TEMP_ONLY, ["--version"], 0, "",
     "", check_squatted_lock),
    ("the README's scheduled task runs as written", TEMP_ONLY, ["--version"], 0, "", "",
     check_readme_task_runs_as_written),
]


def main():
    only = sys.argv[2] if len(sys.argv) > 2 else ""
    failures = 0
    for name, settings, arguments, code, stdout_text, stderr_text, check in SCENARIOS:
        if only and only not in name:
            continue
        try:
            fixture = fresh_fixture()
            fixture["before"] = fixture_state()
            write_settings(settings)
            result = run_cli(arguments)
            stdout = result.stdout.decode("utf-8", "replace")
            stderr = result.stderr.decode("utf-8", "replace")
            assert result.returncode == code, "exit code %d, expected %d; %s" % (result.returncode, code, outputs(result))
            assert stdout_text in stdout, "standard output lacks %r: %s" % (stdout_text, stdout)
            assert stderr_text in stderr, "standard error lacks %r: %s" % (stderr_text, stderr)
            if code == 2:
                assert stdout == "", "a refused command line printed %r" % stdout
            if check:
                check(fixture, result)
            print("PASS", name)
        except Exception as error:  # a failed assertion or a run that hung: report and go on
            failures += 1
            print("FAIL", name + ":", error)
    write_settings({})
    shutil.rmtree(ROOT, ignore_errors=True)
    print("%d of %d scenarios failed" % (failures, len(SCENARIOS)) if failures else "all scenarios passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

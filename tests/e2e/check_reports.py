#!/usr/bin/env python3
"""Real readers check what VandrelixEx.exe writes, in the prefix WINEPREFIX names.

The reports (written by the unattended switches over a registry holding hostile startup entries) go to
Python's csv and html.parser and to headless Chromium (screenshot kept beside the other artefacts); the
settings export (written by the unit test that round-trips it through regedit) goes to chntpw's reged,
which imports it into a fresh hive that Parse::Win32Registry dumps.

Usage: check_reports.py BIN_FOLDER ARTEFACT_FOLDER
"""
import csv
import html.parser
import io
import os
import struct
import subprocess
import sys
import time

BIN, OUT = sys.argv[1], sys.argv[2]
PREFIX = os.path.basename(os.environ["WINEPREFIX"].rstrip("/"))
OUT = os.path.join(OUT, PREFIX)
os.makedirs(OUT, exist_ok=True)
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# Startup entries whose names and commands a piece of malware chooses.
HOSTILE = [
    ("<script>document.title='owned'</script> & 'co\"", r"C:\evil\x<b>bold</b>&amp;.exe /a"),
    ("Comma, Inc", r"C:\Program Files\Comma, Inc\app.exe /x"),
]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def wine(*args, timeout=120):
    return subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_switch(switch, name):
    path = os.path.join(OUT, name)
    if os.path.exists(path):
        os.remove(path)
    start = time.monotonic()
    result = wine(os.path.join(BIN, "VandrelixEx.exe"), switch, windows_path(path))
    elapsed = time.monotonic() - start
    print(f"{PREFIX}: {switch} {name}: exit {result.returncode}, {elapsed:.2f} s")
    check(result.returncode == 0, f"{switch} exit code {result.returncode}")
    check(not result.stdout and not result.stderr.strip(b"\r\n"), f"{switch} printed {result.stdout!r} {result.stderr!r}")
    with open(path, "rb") as f:
        return f.read()


class Collector(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.text, self.anchors, self.links = [], [], [], []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        attrs = dict(attrs)
        if tag == "a" and "name" in attrs:
            self.anchors.append(attrs["name"])
        if tag == "a" and "href" in attrs:
            self.links.append(attrs["href"])

    def handle_data(self, data):
        self.text.append(data)


def check_html(data):
    text = data.decode("cp1252")
    parser = Collector()
    parser.feed(text)
    parser.close()
    body = "".join(parser.text)
    check("script" not in parser.tags and "b" in parser.tags, f"tags in the page: {sorted(set(parser.tags))}")
    for title, command in HOSTILE:
        check(title in body, f"title {title!r} not shown as text")
        check(command in body, f"path {command!r} not shown as text")
    for n in (0, 1, 4, 5, 7, 8):
        check(f"A{n}" in parser.anchors, f"anchor A{n} missing")
    check(any("qovainfo.pl?program=" in link and "&vendor=" in link for link in parser.links), "no information link")
    check(body.count("\u2022") >= 12, "section headings without their bullets")

    page = os.path.join(OUT, "report.html")
    shot = os.path.join(OUT, "report.png")
    common = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--enable-logging=stderr",
              "--user-data-dir=" + os.path.join(OUT, "chromium-profile")]
    result = subprocess.run(common + ["--window-size=1280,2400", "--screenshot=" + shot, "file://" + page],
                            capture_output=True, timeout=120)
    check(result.returncode == 0 and os.path.getsize(shot) > 1000, f"chromium screenshot: {result.returncode}")
    check(b"CONSOLE" not in result.stderr, "the page logged to the console: " + result.stderr.decode(errors="replace"))
    result = subprocess.run(common + ["--dump-dom", "file://" + page], capture_output=True, timeout=120)
    dom = result.stdout.decode("utf-8", errors="replace")
    check(result.returncode == 0 and "Vandrelix Report Log" in dom, "chromium could not load the page")
    check("<script" not in dom and "owned" not in dom.split("</title>")[0], "a script ran or entered the page")


def check_text(data):
    lines = data.decode("cp1252").split("\r\n")
    check(lines[0] == "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath", "text report header")
    rows = [line for line in lines[1:] if "\t" in line]
    check(all(len(row.split("\t")) == 7 for row in rows), "a text report line without seven fields")
    check("<" not in lines[0] and "<br>" not in data.decode("cp1252"), "HTML in the text report")


def check_csv(data):
    rows = list(csv.reader(io.StringIO(data.decode("cp1252"), newline="")))
    check(len(rows[0]) == 1 and len(rows[1]) == 2, "spreadsheet preamble")
    check(rows[2] == ["Type", "SubType", "Title", "Filename", "Company", "First Detected", "Path", "Description",
                      " Version"], f"spreadsheet header {rows[2]}")
    bad = [row for row in rows[3:] if len(row) != 9]
    check(not bad, f"rows without nine columns: {bad}")
    by_title = {row[2]: row for row in rows[3:]}
    for title, command in HOSTILE:
        row = by_title.get(title)
        check(row is not None, f"no row for {title!r}")
        if row:
            check(row[0:2] == ["HKCU", "Run"] and row[6] == command, f"row for {title!r}: {row}")


def seed():
    for title, command in HOSTILE:
        wine("reg", "add", RUN_KEY, "/v", title, "/d", command, "/f")


def unseed():
    for title, _ in HOSTILE:
        wine("reg", "delete", RUN_KEY, "/v", title, "/f")


def empty_hive(path):
    """A hive file with only its root key, as the offline editors start from."""
    nk_off, sk_off, bin_size = 0x20, 0x80, 4096
    nk = b"nk" + struct.pack("<HQIIIIiiIiiiIIIIIHH", 0x2C, 0, 0, 0, 0, 0, -1, -1, 0, -1, sk_off, -1, 0, 0, 0, 0, 0, 4, 0)
    nk += b"ROOT"
    cells = struct.pack("<i", -0x60) + nk.ljust(0x5C, b"\0")
    sd = struct.pack("<BBHIIII", 1, 0, 0x8004, 0, 0, 0, 0)
    sk = b"sk" + struct.pack("<HiiII", 0, sk_off, sk_off, 1, len(sd)) + sd
    size = (len(sk) + 4 + 7) & ~7
    cells += struct.pack("<i", -size) + sk.ljust(size - 4, b"\0")
    free = bin_size - 0x20 - len(cells)
    cells += struct.pack("<i", free) + b"\0" * (free - 4)
    hbin = b"hbin" + struct.pack("<II", 0, bin_size) + b"\0" * 20 + cells
    base = bytearray(4096)
    struct.pack_into("<4sIIQIIIIII", base, 0, b"regf", 1, 1, 0, 1, 3, 0, 1, nk_off, bin_size)
    struct.pack_into("<I", base, 0x2C, 1)
    checksum = 0
    for i in range(0, 0x1FC, 4):
        checksum ^= struct.unpack_from("<I", base, i)[0]
    struct.pack_into("<I", base, 0x1FC, checksum)
    with open(path, "wb") as f:
        f.write(bytes(base) + hbin)


DUMP = r'''
use Parse::Win32Registry;
my $r = Parse::Win32Registry->new($ARGV[0]) or die "cannot open hive";
sub walk { my ($k, $p) = @_;
  for my $v ($k->get_list_of_values) { printf "%s|%s|%d|%s\n", $p, $v->get_name, $v->get_type, unpack("H*", $v->get_raw_data); }
  for my $s ($k->get_list_of_subkeys) { walk($s, $p . "\\" . $s->get_name); } }
walk($r->get_root_key, "");
'''


def utf16(text):
    return text.encode("cp1252").decode("cp1252").encode("utf-16-le").hex()


def check_settings_export():
    result = wine(os.path.join(BIN, "unit_tests.exe"), "--gtest_filter=SettingsExport.RegeditImportsItBackExactly")
    check(result.returncode == 0, "the settings export test failed: " + result.stdout.decode(errors="replace")[-2000:])
    sample = os.path.join(BIN, "settings_sample.reg")
    machine = r"\Wow6432Node" if PREFIX == "p64" else ""
    # What a Windows hive holds for each value: texts in UTF-16, other types as they are.
    expected = {
        (r"\Software\Orvenn Studios\Vandrelix", "Path"): (1, utf16("C:\\Tools\0")),
        (r"\Software\Orvenn Studios\Vandrelix", ""): (1, utf16("abc\0")),
        (r"\Software\Orvenn Studios\Vandrelix", 'Quote "name"'): (1, utf16('say "hi" \\ done\\\0')),
        (r"\Software\Orvenn Studios\Vandrelix", "Num"): (4, "2a000000"),
        (r"\Software\Orvenn Studios\Vandrelix", "Bin"): (3, "0001ff"),
        (r"\Software\Orvenn Studios\Vandrelix\Options", "StartTab"): (1, utf16("6026\0")),
        (r"\Software\Orvenn Studios\Vandrelix\Delay\Time", "C:\\x.exe"): (1, utf16("30\0")),
        (machine + r"\Orvenn Studios\Vandrelix\Disabled\HKLM_RUN", "Expand"): (2, utf16("%SystemRoot%\\x.exe\0")),
        (machine + r"\Orvenn Studios\Vandrelix\Disabled\HKLM_RUN", "Multi"): (7, utf16("a\0b c\0\0")),
        (machine + r"\Orvenn Studios\Vandrelix\Disabled\HKLM_RUN", "Lines"): (1, utf16("one\r\ntwo\0")),
        (machine + r"\Orvenn Studios\Vandrelix\Disabled\HKLM_RUN", "Caf\xe9"): (1, utf16("d\xe9j\xe0\0")),
    }
    with open(sample, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xff\xfe"), "the settings export is not UTF-16")
    text = data[2:].decode("utf-16-le")
    header, _, body = text.partition("\r\n\r\n")
    check(header == "Windows Registry Editor Version 5.00", f"settings export header {header!r}")
    blocks = body.split("\r\n\r\n")
    found = {}
    for prefix in ("HKEY_CURRENT_USER", r"HKEY_LOCAL_MACHINE\SOFTWARE"):
        # reged stops at a key outside its hive's prefix: each hive is given its own keys.
        part = os.path.join(OUT, "settings-" + prefix.split("\\")[-1] + ".reg")
        mine = [b for b in blocks if b.startswith("[" + prefix + "\\")]
        with open(part, "wb") as f:
            f.write(b"\xff\xfe" + (header + "\r\n\r\n" + "\r\n\r\n".join(mine) + "\r\n").encode("utf-16-le"))
        hive = os.path.join(OUT, "hive-" + prefix.split("\\")[-1] + ".dat")
        empty_hive(hive)
        result = subprocess.run(["reged", "-I", "-C", hive, prefix, part], capture_output=True, timeout=60)
        # reged ends with 2 when it saved a changed hive.
        check(result.returncode in (0, 2) and b"- OK" in result.stdout, f"reged -I {prefix}: {result.returncode}")
        dump = subprocess.run(["perl", "-e", DUMP, hive], capture_output=True, timeout=60)
        check(dump.returncode == 0, "Parse::Win32Registry could not read the hive " + dump.stderr.decode(errors="replace"))
        for line in dump.stdout.decode("latin-1").splitlines():
            key, name, kind, data = line.split("|")
            if prefix == "HKEY_CURRENT_USER":
                key = r"\Software" + key if not key.startswith(r"\Software") else key
            found[(key, name)] = (int(kind), data)
    for where, value in expected.items():
        got = found.get(where)
        if got is None:  # the reader keeps the key path as written after the prefix
            got = next((v for (k, n), v in found.items() if n == where[1] and k.endswith(where[0])), None)
        check(got == value, f"hive value {where}: {got} != {value}")


def main():
    seed()
    try:
        check_html(run_switch("-Report", "report.html"))
        check_text(run_switch("-Report", "report.txt"))
        check_csv(run_switch("-Spreadsheet", "report.csv"))
        log = run_switch("-ScanLog", "Kelvrask.log").decode("cp1252")
        check(log.endswith("--\r\nEnd of file\r\n"), "the scan log does not end with its closing lines")
        for title, command in HOSTILE:
            check(f"O4 - HKCU\\..\\Run: [{title}]{command}\r\n" in log, f"no O4 line for {title!r}")
    finally:
        unseed()
    check_settings_export()
    if failures:
        print(f"{len(failures)} checks failed")
        return 1
    print("all checks passed; artefacts in", OUT)
    return 0


sys.exit(main())

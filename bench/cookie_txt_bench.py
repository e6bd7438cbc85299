#!/usr/bin/env python3
"""The cookies.txt clean of one file, in the same run:
  - the whole clean through `Quillmere.exe auto` (under Wine, with "CookieFiles" selected and
    the Netscape "Cookie File" setting pointing at the file), start-up subtracted: the median
    over the rounds of its time minus that of `auto` with the same settings and an empty
    cookies.txt, run just before it;
  - its parts in one process (read into the line table, mark by a hash of the kept identities,
    write; quillmere_cookie_txt_timing.exe) and the floor under Wine (read, write, replace);
  - awk (filter by a hash of the kept identities, then replace) and Python's
    http.cookiejar.MozillaCookieJar (load, filter, save), natively on the same file.

Files: a header, CR LF line ends, 1% comment lines; 7,000 kept identities, and every tenth
line is a cookie of one of them (10% of the lines kept). Prints the times (best of the
rounds, but the median start-up and paired difference for `auto`) and the ratios; checks that Quillmere's file and awk's are the same bytes.

    bench/cookie_txt_bench.py --timer build/bin/quillmere_cookie_txt_timing.exe \
        --program build/bin/Quillmere.exe [--lines N ...]
"""
import argparse
import http.cookiejar
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

AWK_FILTER = r'''NR == FNR { kept[$0]; next }
/^#/ || NF < 7 { print; next }
{ domain = $1; sub(/^\./, "", domain); if ((domain FS $6) in kept) print }'''


KEPT_IDENTITIES = 7000
NETSCAPE_KEY = r"HKEY_CURRENT_USER\Software\Netscape\Netscape Navigator\Cookies"
PROGRAM_KEY = r"HKEY_CURRENT_USER\Software\Dorvik Software\Quillmere"


def build(folder, lines):
    path = os.path.join(folder, "cookies.txt")
    kept_path = os.path.join(folder, "kept.txt")
    with open(path, "w", newline="") as cookies, open(kept_path, "w", newline="") as kept:
        cookies.write("# Netscape HTTP Cookie File\r\n")
        for i in range(lines - 1):
            if i % 100 == 55:
                cookies.write(f"# comment {i}\r\n")
                continue
            expiry = 1700000000 + (i % 3000) * 86400  # 3,000 distinct expiry values
            if i % 10 == 0:  # one of the kept identities
                domain, name = f".kept{(i // 10) % KEPT_IDENTITIES}.example.com", "keep"
            else:
                domain, name = f".site{i % 40000}.example.com", f"c{i}"
            cookies.write(f"{domain}\tTRUE\t/\tFALSE\t{expiry}\t{name}\tvalue{i}-0123456789abcdef\r\n")
        for k in range(KEPT_IDENTITIES):
            kept.write(f"kept{k}.example.com\tkeep\n")
    return path, kept_path


def wine_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True, check=True).stdout.strip()


def reg_text(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def set_up_auto(folder, kept_path, cookies_path):
    """Settings for `auto`: only the cookie clean, the Netscape setting naming the file, the
    kept identities as the Netscape kept list."""
    with open(kept_path, encoding="ascii") as kept_file:
        kept = [line for line in kept_file.read().split("\n") if line]
    lines = ["Windows Registry Editor Version 5.00", "",
             f"[-{PROGRAM_KEY}]", f"[{PROGRAM_KEY}\\CleanPath]", '"CookieFiles"="Yes"', "",
             f"[{PROGRAM_KEY}\\NSSavedCookies]"]
    lines += [f'"{n}"="{reg_text(entry)}\tx"' for n, entry in enumerate(kept)]
    lines += ["", f"[{NETSCAPE_KEY}]", f'"Cookie File"="{reg_text(wine_path(cookies_path))}"', ""]
    reg = os.path.join(folder, "settings.reg")
    with open(reg, "w", encoding="utf-16", newline="\r\n") as out:
        out.write("\n".join(lines))
    subprocess.run(["wine", "regedit", "/S", wine_path(reg)], check=True, capture_output=True)


def tear_down_auto():
    for key in (PROGRAM_KEY, NETSCAPE_KEY):
        subprocess.run(["wine", "reg", "delete", key, "/f"], capture_output=True)


def auto_clean(program, source, work):
    shutil.copyfile(source, work)
    os.sync()  # the copy written back now, not during the clean being timed
    start = time.perf_counter()
    subprocess.run(["wine", program, "auto"], check=True, capture_output=True)
    return time.perf_counter() - start


def best_of(rounds, work):
    best = None
    for _ in range(rounds):
        seconds = work()
        best = seconds if best is None else min(best, seconds)
    return best * 1000.0


def python_clean(source, work, kept):
    shutil.copyfile(source, work)
    start = time.perf_counter()
    jar = http.cookiejar.MozillaCookieJar()
    jar.load(work, ignore_discard=True, ignore_expires=True)
    for cookie in list(jar):
        if cookie.domain.lstrip(".") + "\t" + cookie.name not in kept:
            jar.clear(cookie.domain, cookie.path, cookie.name)
    jar.save(work, ignore_discard=True, ignore_expires=True)
    return time.perf_counter() - start


def awk_clean(source, work, kept_path):
    shutil.copyfile(source, work)
    start = time.perf_counter()
    with open(work + ".new", "wb") as out:
        subprocess.run(["awk", "-F", "\t", AWK_FILTER, kept_path, work], stdout=out, check=True)
    os.replace(work + ".new", work)
    return time.perf_counter() - start


def quillmere_clean(timer, source, kept_path, rounds):
    result = subprocess.run(["wine", timer, wine_path(source), wine_path(kept_path), str(rounds)],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"cookies.txt bench: the timer failed ({result.returncode}): {result.stderr.strip()}")
    values = dict(line.split() for line in result.stdout.splitlines() if len(line.split()) == 2)
    return float(values["ns2_ms"]), float(values["floor_ms"]), int(values["lines"]), int(values["marked"])


def run(timer, program, lines, rounds, auto_rounds):
    folder = tempfile.mkdtemp(prefix="qm-cookies-txt-bench-")
    try:
        source, kept_path = build(folder, lines)
        empty = os.path.join(folder, "empty.txt")
        open(empty, "w").close()
        with open(kept_path, encoding="ascii") as kept_file:
            kept = set(kept_file.read().split("\n")) - {""}
        work = os.path.join(folder, "auto", "cookies.txt")
        os.makedirs(os.path.dirname(work))
        set_up_auto(folder, kept_path, work)
        try:
            # Taken in turn, so that both meet the same load of the machine; the median of the
            # pairs' differences, since a start-up now and then a second quicker than the rest
            # would make the best of each side a wrong difference.
            startups, cleans = [], []
            for _ in range(auto_rounds):
                startups.append(auto_clean(program, empty, work) * 1000.0)
                cleans.append(auto_clean(program, source, work) * 1000.0)
            startup = statistics.median(startups)
            whole = statistics.median(clean - start for start, clean in zip(startups, cleans))
        finally:
            tear_down_auto()
        ours, floor, read_lines, marked = quillmere_clean(timer, source, kept_path, rounds)
        python = best_of(rounds, lambda: python_clean(source, os.path.join(folder, "python.txt"), kept))
        awk = best_of(rounds, lambda: awk_clean(source, os.path.join(folder, "awk.txt"), kept_path))
        with open(os.path.join(folder, "awk.txt"), "rb") as b:
            expected = b.read()
        with open(source + ".work", "rb") as a, open(work, "rb") as c:
            same = a.read() == expected and c.read() == expected
        print(f"cookies.txt clean: {lines:,} lines, {marked:,} removed, {len(kept):,} kept identities"
              + ("" if same else "  ** Quillmere's file differs from awk's **"))
        print(f"  Quillmere auto, start-up ({startup:.0f} ms) subtracted {whole:10.1f} ms")
        print(f"  its parts: read, mark, write     {ours:10.1f} ms  ({ours * 1e6 / lines:.0f} ns per line)")
        print(f"  floor: read, write, replace      {floor:10.1f} ms")
        print(f"  Python MozillaCookieJar          {python:10.1f} ms")
        print(f"  awk                              {awk:10.1f} ms")
        print(f"  ratio auto clean / awk   = {whole / awk:.2f} (target <= 3)")
        print(f"  ratio parts / awk        = {ours / awk:.2f}")
        print(f"  ratio parts / floor      = {ours / floor:.2f}")
        print(f"  ratio Python / parts     = {python / ours:.2f}")
        sys.stdout.flush()
        return whole, same
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timer", required=True, help="quillmere_cookie_txt_timing.exe")
    parser.add_argument("--program", required=True, help="Quillmere.exe")
    parser.add_argument("--lines", type=int, nargs="+", default=[200_000, 1_000_000])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--auto-rounds", type=int, default=11,
                        help="paired runs of auto: its start-up varies by tens of milliseconds")
    args = parser.parse_args()
    times = []
    all_same = True
    for lines in args.lines:
        whole, same = run(args.timer, args.program, lines, args.rounds, args.auto_rounds)
        times.append((lines, whole))
        all_same = all_same and same
    if len(times) > 1:
        (small, small_time), (large, large_time) = times[0], times[-1]
        target = 1.1 * large / small
        print(f"  ratio auto clean {large:,} / {small:,} lines = {large_time / small_time:.2f} (target <= {target:.1f})")
    return 0 if all_same else 1


if __name__ == "__main__":
    sys.exit(main())

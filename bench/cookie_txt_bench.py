#!/usr/bin/env python3
"""The cookies.txt clean of one file, in the same run: Quillmere (NS2Scan, marking by a hash
of the kept identities, NS2Write; under Wine), Python's http.cookiejar.MozillaCookieJar
(load, filter, save) and awk (filter by a hash of the kept identities, then replace), all
natively on the same file, and the floor under Wine (read the file, write it, replace).

Files: a header, CR LF line ends, 1% comment lines, and a kept list that matches about 10%
of the cookie lines. Prints the times (best of the rounds) and the ratios.

    bench/cookie_txt_bench.py --timer build/bin/quillmere_cookie_txt_timing.exe [--lines N ...]
"""
import argparse
import http.cookiejar
import os
import shutil
import subprocess
import sys
import tempfile
import time

AWK_FILTER = r'''NR == FNR { kept[$0]; next }
/^#/ || NF < 7 { print; next }
{ domain = $1; sub(/^\./, "", domain); if ((domain FS $6) in kept) print }'''


def build(folder, lines):
    path = os.path.join(folder, "cookies.txt")
    kept_path = os.path.join(folder, "kept.txt")
    with open(path, "w", newline="") as cookies, open(kept_path, "w", newline="") as kept:
        cookies.write("# Netscape HTTP Cookie File\r\n")
        for i in range(lines - 1):
            if i % 100 == 50:
                cookies.write(f"# comment {i}\r\n")
                continue
            domain = f".site{i % 40000}.example.com"
            expiry = 1700000000 + (i % 3000) * 86400  # 3,000 distinct expiry values
            cookies.write(f"{domain}\tTRUE\t/\tFALSE\t{expiry}\tc{i}\tvalue{i}-0123456789abcdef\r\n")
            if i % 10 == 0:
                kept.write(f"{domain[1:]}\tc{i}\n")
    return path, kept_path


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
    windows = lambda path: subprocess.run(["winepath", "-w", path], capture_output=True, text=True,
                                          check=True).stdout.strip()
    result = subprocess.run(["wine", timer, windows(source), windows(kept_path), str(rounds)],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"cookies.txt bench: the timer failed ({result.returncode}): {result.stderr.strip()}")
    values = dict(line.split() for line in result.stdout.splitlines() if len(line.split()) == 2)
    return float(values["ns2_ms"]), float(values["floor_ms"]), int(values["listed"]), int(values["marked"])


def run(timer, lines, rounds):
    folder = tempfile.mkdtemp(prefix="qm-cookies-txt-bench-")
    try:
        source, kept_path = build(folder, lines)
        with open(kept_path, encoding="ascii") as kept_file:
            kept = set(kept_file.read().split("\n")) - {""}
        ours, floor, listed, marked = quillmere_clean(timer, source, kept_path, rounds)
        python = best_of(rounds, lambda: python_clean(source, os.path.join(folder, "python.txt"), kept))
        awk = best_of(rounds, lambda: awk_clean(source, os.path.join(folder, "awk.txt"), kept_path))
        with open(source + ".work", "rb") as a, open(os.path.join(folder, "awk.txt"), "rb") as b:
            same = a.read() == b.read()
        print(f"cookies.txt clean: {lines:,} lines, {listed:,} cookies, {marked:,} removed, {len(kept):,} kept"
              + ("" if same else "  ** Quillmere's file differs from awk's **"))
        print(f"  Quillmere NS2Scan+mark+NS2Write {ours:10.1f} ms  ({ours * 1e6 / lines:.0f} ns per line)")
        print(f"  floor: read, write, replace     {floor:10.1f} ms")
        print(f"  Python MozillaCookieJar         {python:10.1f} ms")
        print(f"  awk                             {awk:10.1f} ms")
        print(f"  ratio Python / Quillmere = {python / ours:.2f} (target >= 5)")
        print(f"  ratio Quillmere / awk    = {ours / awk:.2f} (target <= 3)")
        print(f"  ratio Quillmere / floor  = {ours / floor:.2f}")
        sys.stdout.flush()
        return ours / lines, same
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timer", required=True, help="quillmere_cookie_txt_timing.exe")
    parser.add_argument("--lines", type=int, nargs="+", default=[100_000, 1_000_000])
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    rates = []
    all_same = True
    for lines in args.lines:
        rate, same = run(args.timer, lines, args.rounds)
        rates.append((lines, rate))
        all_same = all_same and same
    if len(rates) > 1:
        (small, small_rate), (large, large_rate) = rates[0], rates[-1]
        print(f"  ratio per line {large:,} / {small:,} lines = {large_rate / small_rate:.2f} (target <= 1.50)")
    return 0 if all_same else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Whole-process timings of quorly-cli beside keepassxc-cli on files of the same entries.

Makes, for each size, one Quorly password file (created and filled by `quorly-cli
import`) and one KeePass database (made by `keepassxc-cli import` from a KeePass 2 XML
of the same entries, at that command's default key derivation), then runs `list` /
`ls` and `add` on each several times, interleaved so that both see the same load, and
prints medians, ratios and the peak resident memory of every process.

Usage: cli_vs_keepassxc.py QUORLY_CLI [--sizes 1000,10000,100000] [--runs N] [--work DIR]
"""

import argparse
import base64
import csv
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import xml.sax.saxutils as saxutils

PASSWORD = "correct horse battery staple"

WORDS = ("north", "river", "maple", "cobalt", "harbor", "quartz", "meadow", "signal", "lumen",
         "atlas", "ember", "summit", "willow", "orbit", "cedar", "pixel", "delta", "fable")
DOMAINS = ("com", "org", "net", "de", "co.uk", "io")
NOTE_LINES = ("Security question: name of the first pet.",
              "Recovery codes are in the safe, envelope 3.",
              "Shared with the family account; change it every spring.",
              "Customer number 8841-2291-07, PIN on the letter of March.",
              "Two-factor through the phone app.")


def entries(count, seed=17):
    """Deterministic entries of the size people keep: a name, an address, one or two
    user IDs, a password and, for most, a line or two of notes."""
    rng = random.Random(seed)
    alphabet = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTVWXYZ23456789!-#$%+&()*"
    made = []
    for i in range(count):
        a, b = rng.choice(WORDS), rng.choice(WORDS)
        site = f"{a}{b}{i}.{rng.choice(DOMAINS)}"
        name = f"{a.capitalize()} {b.capitalize()} {i}"
        url = f"https://www.{site}/account/login?next=%2Fhome"
        user = f"{rng.choice(WORDS)}.{rng.choice(WORDS)}{rng.randrange(100)}@example-mail.org"
        user2 = f"customer-{rng.randrange(10**8):08d}" if i % 4 == 0 else ""
        password = "".join(rng.choice(alphabet) for _ in range(rng.randrange(14, 24)))
        lines = rng.randrange(4)
        notes = "\n".join(rng.choice(NOTE_LINES) for _ in range(lines))
        made.append((name, url, user, user2, password, notes))
    return made


def write_csv(path, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        csv.writer(f, quoting=csv.QUOTE_ALL).writerows(rows)


def write_keepass_xml(path, rows):
    esc = saxutils.escape
    uuid = lambda n: base64.b64encode(n.to_bytes(16, "big")).decode()
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8" standalone="yes"?>\n<KeePassFile>\n'
                "<Meta><Generator>bench</Generator><DatabaseName>bench</DatabaseName></Meta>\n"
                f"<Root><Group><UUID>{uuid(1)}</UUID><Name>Root</Name>\n")
        for i, (name, url, user, user2, password, notes) in enumerate(rows):
            if user2:
                notes = f"Second user ID: {user2}\n{notes}" if notes else f"Second user ID: {user2}"
            f.write(f"<Entry><UUID>{uuid(i + 2)}</UUID>")
            for key, value in (("Title", name), ("UserName", user), ("Password", password),
                               ("URL", url), ("Notes", notes)):
                f.write(f"<String><Key>{key}</Key><Value>{esc(value)}</Value></String>")
            f.write("</Entry>\n")
        f.write("</Group></Root>\n</KeePassFile>\n")


def run(argv, stdin_text, env=None):
    """Runs one process; its wall time in seconds and its peak resident memory in KiB."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, env=env)
    proc.stdin.write(stdin_text.encode())
    proc.stdin.close()
    err = proc.stderr.read()
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"{' '.join(argv)} failed ({proc.returncode}): {err.decode(errors='replace')}")
    return elapsed, usage.ru_maxrss


def ensure_keepassxc():
    """Installs Debian's keepassxc when its command line is missing."""
    if shutil.which("keepassxc-cli"):
        return
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    print("installing Debian's keepassxc for keepassxc-cli", flush=True)
    subprocess.run(sudo + ["apt-get", "install", "-y", "--no-install-recommends", "keepassxc"], check=True,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def make_files(quorly_cli, work, size, env, keepassxc=True):
    rows = entries(size)
    csv_path = os.path.join(work, f"entries{size}.csv")
    xml_path = os.path.join(work, f"entries{size}.xml")
    qly = os.path.join(work, f"bench{size}.qly")
    kdbx = os.path.join(work, f"bench{size}.kdbx")
    write_csv(csv_path, rows)
    write_keepass_xml(xml_path, rows)
    for path in (qly, kdbx):
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
    run([quorly_cli, "create", "--password-stdin", qly], PASSWORD + "\n", env)
    run([quorly_cli, "import", "--password-stdin", qly, csv_path,
         "--columns", "name,url,user1,user2,password,notes"], PASSWORD + "\n", env)
    if keepassxc:
        run(["keepassxc-cli", "import", "-q", "-p", xml_path, kdbx], f"{PASSWORD}\n{PASSWORD}\n", env)
    os.remove(csv_path)
    os.remove(xml_path)
    return qly, kdbx


def plaintext_bytes(qly):
    """The size of the entry archive, to within the 1 to 16 bytes of cipher padding."""
    return os.path.getsize(os.path.join(qly, "Data.qlyi"))


def fresh_copy(src, dst):
    if os.path.isdir(dst):
        shutil.rmtree(dst)
    elif os.path.exists(dst):
        os.remove(dst)
    if os.path.isdir(src):
        shutil.copytree(src, dst)
    else:
        shutil.copyfile(src, dst)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quorly_cli")
    parser.add_argument("--sizes", default="1000,10000,100000")
    parser.add_argument("--runs", type=int, default=0, help="runs per command (default: 11, 5 at 100,000)")
    parser.add_argument("--work", default=None)
    parser.add_argument("--no-keepassxc", action="store_true")
    args = parser.parse_args()

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    work = args.work or tempfile.mkdtemp(prefix="quorly-bench-")
    os.makedirs(work, exist_ok=True)
    quorly_cli = os.path.abspath(args.quorly_cli)
    print(f"load before: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}")

    if not args.no_keepassxc:
        ensure_keepassxc()
    results = []
    for size in (int(s) for s in args.sizes.split(",")):
        qly, kdbx = make_files(quorly_cli, work, size, env, not args.no_keepassxc)
        plain = plaintext_bytes(qly)
        runs = args.runs or (5 if size >= 100000 else 11)
        times = {k: [] for k in ("q_list", "q_add", "k_ls", "k_add")}
        peaks = {k: 0 for k in times}
        qly_run, kdbx_run = qly + ".run.qly", kdbx + ".run.kdbx"
        for r in range(runs):
            commands = [("q_list", [quorly_cli, "list", "--password-stdin", qly], PASSWORD + "\n", None)]
            commands.append(("q_add", [quorly_cli, "add", "--password-stdin", qly_run, "Benchmark entry",
                                       "--url", "https://bench.example.org/login", "--user", "bench@example.org",
                                       "--password", "Xy7!benchmark"], PASSWORD + "\n", (qly, qly_run)))
            if not args.no_keepassxc:
                commands.append(("k_ls", ["keepassxc-cli", "ls", "-q", kdbx], PASSWORD + "\n", None))
                commands.append(("k_add", ["keepassxc-cli", "add", "-q", "-u", "bench@example.org",
                                           "--url", "https://bench.example.org/login", "-p", kdbx_run,
                                           "Benchmark entry"], f"{PASSWORD}\nXy7!benchmark\n", (kdbx, kdbx_run)))
            for key, argv, stdin_text, copy in commands:
                if copy:
                    fresh_copy(*copy)
                elapsed, peak = run(argv, stdin_text, env)
                times[key].append(elapsed)
                peaks[key] = max(peaks[key], peak)
        row = {"size": size, "plain": plain, "runs": runs}
        for key in times:
            row[key] = statistics.median(times[key]) if times[key] else None
            row[key + "_peak"] = peaks[key]
        results.append(row)
        print_row(row)
        for path in (qly_run, kdbx_run):
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)
    print(f"load after: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}")
    print()
    print_table(results)
    if not args.work:
        shutil.rmtree(work)


def ms(seconds):
    return "–" if seconds is None else f"{seconds * 1000:.0f} ms"


def print_row(row):
    print(f"{row['size']:>7} entries ({row['plain'] / 1e6:.1f} MB plaintext, {row['runs']} runs): "
          f"quorly list {ms(row['q_list'])} add {ms(row['q_add'])}; "
          f"keepassxc ls {ms(row['k_ls'])} add {ms(row['k_add'])}; "
          f"peak quorly {row['q_list_peak'] // 1024}/{row['q_add_peak'] // 1024} MB", flush=True)


def print_table(results):
    print("| entries | plaintext | quorly-cli list | keepassxc-cli ls | ratio | quorly-cli add | "
          "keepassxc-cli add | ratio | peak list / add | limit 3 × plaintext + 30 MB |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for r in results:
        ratio = lambda q, k: "–" if q is None or k is None else f"{k / q:.1f} ×"
        limit = 3 * r["plain"] / 1e6 + 30
        print(f"| {r['size']:,} | {r['plain'] / 1e6:.1f} MB | {ms(r['q_list'])} | {ms(r['k_ls'])} | "
              f"{ratio(r['q_list'], r['k_ls'])} | {ms(r['q_add'])} | {ms(r['k_add'])} | "
              f"{ratio(r['q_add'], r['k_add'])} | {r['q_list_peak'] / 1024:.0f} / {r['q_add_peak'] / 1024:.0f} MB | "
              f"{limit:.0f} MB |")


if __name__ == "__main__":
    main()

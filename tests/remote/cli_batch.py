#!/usr/bin/env python3
"""tqx-cli end to end on the virtual bench: a spot measurement's CSV and
JSON, a refused command line, and Ctrl+C during a sweep (exit 130, no
partial files, the program gone).

Usage: cli_batch.py TQX_CLI
"""
import csv
import json
import os
import signal
import subprocess
import sys
import tempfile
import time


def main():
    cli = sys.argv[1]
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        env.pop("DISPLAY", None)
        out_csv, out_json = os.path.join(home, "spot.csv"), os.path.join(home, "spot.json")
        run = subprocess.run([cli, "measure", "--bench", "--enr", "15", "--interval", "0.5", "--frequency", "100M",
                              "--csv", out_csv, "--json", out_json], env=env, capture_output=True, text=True,
                             timeout=120)
        check(run.returncode == 0, f"measure exits 0 ({run.returncode}: {run.stderr.strip()[-200:]})")
        with open(out_csv, newline="") as f:
            rows = list(csv.DictReader(f))
        check(len(rows) == 1 and rows[0]["Frequency (MHz)"] == "100.000000", "CSV: one row at 100 MHz")
        nf = float(rows[0]["NF (dB)"])
        check(abs(nf - 1.5) < 0.5, f"CSV: NF {nf} dB near the bench's 1.5 dB")
        with open(out_json) as f:
            doc = json.load(f)
        p = doc["points"][0]
        check(doc["program"] == "TQX" and doc["command"] == "measure" and doc["settings"]["route"] == "bench",
              "JSON: program, command and route")
        check(abs(p["nf_db"] - nf) < 0.001 and p["nf_u95_db"] > 0 and p["levels"]["zero_db"] < p["levels"]["lo_db"],
              "JSON: NF as in the CSV, its uncertainty, the zero below the levels")

        bad = subprocess.run([cli, "sweep", "--start", "100M"], env=env, capture_output=True, text=True, timeout=30)
        check(bad.returncode == 1 and "needs --start, --stop and --points" in bad.stderr, "refused input exits 1")

        # Ctrl+C once the first point is in: the sweep stops, nothing is written.
        sweep_csv = os.path.join(home, "sweep.csv")
        proc = subprocess.Popen([cli, "sweep", "--bench", "--start", "100M", "--stop", "500M", "--points", "9",
                                 "--calibrate", "--interval", "0.5", "--csv", sweep_csv], env=env,
                                stderr=subprocess.PIPE, text=True)
        line = proc.stderr.readline()
        check("calibration 1/9" in line, f"progress on stderr: {line.strip()!r}")
        proc.send_signal(signal.SIGINT)
        try:
            rc = proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            proc.kill()
            rc = None
        check(rc == 130, f"Ctrl+C exits 130 ({rc})")
        check(not os.path.exists(sweep_csv), "no partial CSV after Ctrl+C")
        check(not [f for f in os.listdir(home) if f.endswith(".wav")], "no wave files left")
    if failures:
        sys.exit(f"{len(failures)} check(s) failed")


if __name__ == "__main__":
    main()

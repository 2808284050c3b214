#!/usr/bin/env python3
"""TQX's SCPI server driven by a real VISA client (PyVISA with its pure
Python back end), exactly as a driver for a bench noise figure analyser
drives one: a calibration and a measurement sweep on the virtual bench,
the arrays compared with the bench's true values within their stated
uncertainty, then the error queue after bad commands, a second client
refused, a line over 64 KiB and binary junk survived.

Usage: scpi_pyvisa.py TQX_CLI
"""
import os
import socket
import subprocess
import sys
import tempfile
import time

import pyvisa


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, proc, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            sys.exit(f"tqx-cli serve ended early: {proc.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    sys.exit("tqx-cli serve did not listen")


def floats(text):
    return [float(v) for v in text.split(",")]


def main():
    cli = sys.argv[1]
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        env.pop("DISPLAY", None)  # the server needs no display
        port = free_port()
        proc = subprocess.Popen([cli, "serve", "--bench", "--port", str(port), "--interval", "0.5"], env=env)
        try:
            wait_listening(port, proc)
            rm = pyvisa.ResourceManager("@py")
            inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET",
                                    read_termination="\n", write_termination="\n", timeout=120000)
            idn = inst.query("*IDN?")
            check(idn.startswith("TQX,Noise Figure Meter,0,"), f"*IDN? answers {idn!r}")
            inst.write("*RST;*CLS")

            # The source's ENR as the bench's noise source has it.
            truth100 = floats(inst.query("TQX:BENC:TRUT? 100 MHz"))
            inst.write(f"TQX:SOUR:ENR {truth100[2]}")

            # The analyser subset, in a driver's order.
            inst.write("FREQ:MODE SWE")
            inst.write("FREQ:STAR 100e6")
            inst.write("FREQ:STOP 300e6")
            inst.write("SWE:POIN 5")
            check(inst.query("SWE:POIN?") == "5", "SWE:POIN? answers 5")
            inst.write("AVER 0")
            check(inst.query("AVER:COUN?") == "+1.00000000E+000", "AVER:COUN? in NR3")
            inst.write("CORR:COLL STAN")
            check(inst.query("*OPC?") == "1", "*OPC? after the calibration")
            inst.write("INIT:CONT 0")
            inst.write("ABOR")
            inst.write("INIT:IMM")
            check(inst.query("*OPC?") == "1", "*OPC? after the measurement")
            nf = floats(inst.query("FETC:ARR:DATA:CORR:NFIG? DB"))
            gain = floats(inst.query("FETC:ARR:DATA:CORR:GAIN? DB"))
            unf = floats(inst.query("FETC:ARR:DATA:CORR:NFIG:UNC? DB"))
            ugain = floats(inst.query("FETC:ARR:DATA:CORR:GAIN:UNC? DB"))
            check(len(nf) == 5 and len(gain) == 5, "five points fetched")
            for i, mhz in enumerate([100, 150, 200, 250, 300]):
                true_nf, true_gain, _ = floats(inst.query(f"TQX:BENC:TRUT? {mhz} MHz"))
                check(abs(nf[i] - true_nf) <= unf[i],
                      f"{mhz} MHz: NF {nf[i]:.3f} dB, true {true_nf:.3f} +- {unf[i]:.3f}")
                check(abs(gain[i] - true_gain) <= ugain[i],
                      f"{mhz} MHz: gain {gain[i]:.3f} dB, true {true_gain:.3f} +- {ugain[i]:.3f}")
            check(inst.query("SYST:ERR?") == '0,"No error"', "no error after the sweeps")

            # Bad commands land in the error queue, oldest first.
            inst.write("FREQ:STAR 200 GHz")
            inst.write("FOO:BAR 1")
            inst.write("SWE:POIN 1000")
            inst.write("AVER:COUN many")
            codes = [inst.query("SYST:ERR?").split(",")[0] for _ in range(5)]
            check(codes == ["-222", "-113", "-222", "-224", "0"], f"error queue {codes}")
            check(inst.query("FREQ:STAR?") == "+1.00000000E+008", "a refused start changed nothing")

            # The device measured: a Ku-band LNB's plan, and an IF the plan refuses.
            inst.write("TQX:DEV:MODE DOWN;LOSC 9750 MHZ;SID USB;IMAG 20")
            check(inst.query("TQX:DEV:MODE?;SID?;IMAG?") == "DOWN;USB;+2.00000000E+001", "device set")
            check(inst.query("TQX:DEV:IF? 11 GHZ") == "+1.25000000E+009", "IF of 11 GHz at LO 9750 MHz")
            inst.write("TQX:DEV:SID LSB;:TQX:DEV:IF? 11 GHZ")
            err = inst.query("SYST:ERR?")
            check(err.startswith('-200,"Execution error;No IF'), f"LSB below the LO refused: {err!r}")
            inst.write("TQX:DEV:MODE AMPL")

            # A second client is told the instrument is in use; the first goes on.
            with socket.create_connection(("127.0.0.1", port), timeout=5) as second:
                second.settimeout(5)
                line = second.makefile().readline()
            check("in use" in line, f"second client refused: {line.strip()!r}")
            # A line over 64 KiB and binary junk: refused, the session goes on.
            inst.write("FREQ:STAR " + "1" * 70000)
            inst.write_raw(b"\x00\xff\xfe junk\n")
            check(inst.query("*IDN?") == idn, "answers after junk")
            errs = [inst.query("SYST:ERR?").split(",")[0] for _ in range(3)]
            check(errs[:2] == ["-100", "-100"] and errs[2] == "0", f"junk gives command errors {errs}")
            inst.close()
        finally:
            proc.terminate()
            proc.wait(timeout=30)
    if failures:
        sys.exit(f"{len(failures)} check(s) failed")


if __name__ == "__main__":
    main()

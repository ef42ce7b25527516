#!/usr/bin/env python3
"""One forwarding of two attempts (ERROR, then OK) against the simulated modem,
by the report window (renvolia NUMBER, offscreen) and by renvoliactl, side by
side: time from start to the first byte on the line, CPU time against wall
time, peak resident memory. Then the floor under the CPU figure: what a
program costs that only starts QtCore and Qt SerialPort and ends.

Usage: bench/operation_cpu.py [--runs N] [build folder]   (default: 1 run, build/)
With several runs, each figure is the median, with the lowest and highest.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import datetime
import statistics

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
options = argparse.ArgumentParser(description="CPU, first byte and memory of one forwarding.")
options.add_argument("--runs", type=int, default=1)
options.add_argument("build", nargs="?", default=os.path.join(root, "build"))
arguments = options.parse_args()
build = os.path.abspath(arguments.build)
NUMBER = "0612345678"


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.01)
    sys.exit(f"{what} within {seconds} s: no")


class PeakMemory:
    """A program's peak resident memory, read from /proc while it runs. Its
    rusage cannot tell: a child started from this script counts the script's
    own peak, larger than renvoliactl's, as its own."""

    def __init__(self, pid):
        self.status = f"/proc/{pid}/status"
        self.kib = 0

    def sample(self):
        try:
            with open(self.status) as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        self.kib = max(self.kib, int(line.split()[1]))
        except OSError:
            pass  # ended meanwhile


def measure(name, command, port, environment):
    modem_log = os.path.join(environment["XDG_CONFIG_HOME"], f"modem{port}.log")
    with open(modem_log, "w") as log:
        modem = subprocess.Popen([os.path.join(build, "tools/renvolia-modemsim"), "--port", str(port),
                                  "--replies", "error,ok"], stdout=log, env=environment)
    link = os.path.join(environment["XDG_CONFIG_HOME"], f"renvolia/ports/com{port}")
    wait_for(lambda: os.path.islink(link), 5, "the simulated modem started")
    device = os.path.realpath(link)

    # The first byte: the engine logs each write to the line with the wall
    # clock, and a write to a pseudo-terminal is on the line when it returns.
    program_log = os.path.join(environment["XDG_CONFIG_HOME"], f"program{port}.log")
    started_wall = time.time()
    started = time.monotonic()
    with open(program_log, "w") as log:
        program = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=log, env=dict(
            environment, QT_LOGGING_RULES="renvolia.operation.debug=true",
            QT_MESSAGE_PATTERN="%{time yyyy-MM-ddThh:mm:ss.zzz} %{message}"))
    peak = PeakMemory(program.pid)

    def hung_up():  # each of the two dials is hung up; the second one ends the run
        peak.sample()
        return len(re.findall(r" ATH0$", open(modem_log).read(), re.M)) >= 2
    wait_for(hung_up, 40, f"{name}: the hang-up")
    settled = time.monotonic() + 0.5
    while time.monotonic() < settled:
        peak.sample()
        time.sleep(0.01)
    wall = time.monotonic() - started
    pid, _, usage = os.wait4(program.pid, os.WNOHANG)
    if pid == 0:  # the report window waits on "Fermer"
        program.send_signal(signal.SIGTERM)
        _, _, usage = os.wait4(program.pid, 0)
    modem.send_signal(signal.SIGINT)
    modem.wait()
    cpu = usage.ru_utime + usage.ru_stime
    dials = len(re.findall(r" ATDT", open(modem_log).read()))
    sent = re.search(r"^(\S+) sent", open(program_log).read(), re.M)
    first = datetime.datetime.fromisoformat(sent.group(1)).timestamp() - started_wall if sent else None
    return {"dials": dials, "first byte (ms)": 1000 * first if first else float("nan"), "wall (s)": wall,
            "CPU (s)": cpu, "CPU share (%)": 100 * cpu / wall, "peak RSS (MiB)": peak.kib / 1024}


def start_floor(runs=9):
    """Median CPU seconds of bench_qt_start_floor, started as the programs are."""
    times = []
    for _ in range(runs):
        program = subprocess.Popen([os.path.join(build, "bench/bench_qt_start_floor")], env=dict(
            os.environ, QT_QPA_PLATFORM="offscreen"))
        _, _, usage = os.wait4(program.pid, 0)
        times.append(usage.ru_utime + usage.ru_stime)
    return statistics.median(times)


def summary(values):
    """The median, and with several values the lowest and highest: "0.094 (0.091-0.122)"."""
    text = lambda value: f"{value:.3f}" if isinstance(value, float) else str(value)
    middle = text(statistics.median(values))
    return middle if len(values) == 1 else f"{middle} ({text(min(values))}-{text(max(values))})"


def main():
    with tempfile.TemporaryDirectory() as work:
        environment = dict(os.environ, XDG_CONFIG_HOME=work, XDG_STATE_HOME=os.path.join(work, "state"),
                           QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
        # renvolia takes its port from the setting; renvoliactl gets --port.
        os.makedirs(os.path.join(work, "renvolia"), exist_ok=True)
        with open(os.path.join(work, "renvolia/renvolia.conf"), "w") as conf:
            conf.write("[COM]\nN%C2%B0=2\n")
        programs = {
            "renvolia NUMBER": lambda: measure("renvolia", [os.path.join(build, "app/renvolia"), NUMBER], 2,
                                               environment),
            "renvoliactl forward": lambda: measure("renvoliactl", [os.path.join(build, "cli/renvoliactl"), "forward",
                                                                   NUMBER, "--port", "3"], 3, environment),
        }
        runs = {name: [] for name in programs}
        for _ in range(arguments.runs):
            for name, run in programs.items():
                runs[name].append(run())
    names = list(runs)
    print(f"{'':24}" + "".join(f"{n:>28}" for n in names))
    for key in runs[names[0]][0]:
        print(f"{key:24}" + "".join(f"{summary([run[key] for run in runs[n]]):>28}" for n in names))
    floor = start_floor()
    own = statistics.median(run["CPU (s)"] for run in runs["renvoliactl forward"])
    wall = statistics.median(run["wall (s)"] for run in runs["renvoliactl forward"])
    print(f"\nQtCore + Qt SerialPort started and ended, nothing else: {1000 * floor:.1f} ms CPU (median of 9),"
          f" {100 * floor / wall:.3f} % of renvoliactl's wall time;"
          f" renvoliactl's CPU beyond it: {1000 * (own - floor):.1f} ms.")


main()

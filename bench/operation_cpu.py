#!/usr/bin/env python3
"""One forwarding of two attempts (ERROR, then OK) against the simulated modem,
by the report window (renvolia NUMBER, offscreen) and by renvoliactl, side by
side: time from start to the first byte on the line, CPU time against wall
time, peak resident memory.

Usage: bench/operation_cpu.py [build folder]   (default: build/)
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import datetime

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build"))
NUMBER = "0612345678"


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.01)
    sys.exit(f"{what} within {seconds} s: no")


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
    wait_for(lambda: re.search(r" ATH0$", open(modem_log).read(), re.M), 40, f"{name}: the hang-up")
    time.sleep(0.5)
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
            "CPU (s)": cpu, "CPU share (%)": 100 * cpu / wall, "peak RSS (MiB)": usage.ru_maxrss / 1024}


def main():
    with tempfile.TemporaryDirectory() as work:
        environment = dict(os.environ, XDG_CONFIG_HOME=work, XDG_STATE_HOME=os.path.join(work, "state"),
                           QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
        # renvolia takes its port from the setting; renvoliactl gets --port.
        os.makedirs(os.path.join(work, "renvolia"), exist_ok=True)
        with open(os.path.join(work, "renvolia/renvolia.conf"), "w") as conf:
            conf.write("[COM]\nN%C2%B0=2\n")
        results = {
            "renvolia NUMBER": measure("renvolia", [os.path.join(build, "app/renvolia"), NUMBER], 2, environment),
            "renvoliactl forward": measure("renvoliactl", [os.path.join(build, "cli/renvoliactl"), "forward", NUMBER,
                                                           "--port", "3"], 3, environment),
        }
    names = list(results)
    print(f"{'':24}" + "".join(f"{n:>22}" for n in names))
    for key in results[names[0]]:
        print(f"{key:24}" + "".join(f"{results[n][key]:>22.3f}" if isinstance(results[n][key], float)
                                    else f"{results[n][key]:>22}" for n in names))


main()

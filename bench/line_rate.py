#!/usr/bin/python3
"""Times a whole-module download through nimbra-sim --line-rate: vexilo-cli against the wire
time and against plain_sender.py doing the same exchange. Then the re-send case: the list sent
again unchanged with "only changed objects", in the same window session and in a new
vexilo-cli run, against the wire time of the whole send. Run through line_rate.sh."""

import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def header_lines(instrument):
    """The instrument file's lines up to and including [OBJECTS], as bytes."""
    with open(instrument, "rb") as f:
        lines = f.read().replace(b"\r\n", b"\n").split(b"\n")
    for i, line in enumerate(lines):
        if line.strip().upper() == b"[OBJECTS]":
            return lines[: i + 1]
    raise SystemExit("line_rate: no [OBJECTS] in " + instrument)


def write_lines(path, lines):
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")


def module_objects(count):
    """Pumps, with a valve every fifteenth object: fits the instrument's value store at 1928."""
    objects = []
    for i in range(count):
        if i % 15 == 14:
            objects.append(b"Valve;V%04d;%d;%d;None" % (i, 1 + i % 12, i % 2))
        else:
            objects.append(
                b"Pump;P%04d;%d;%d;%d;%d" % (i, (i * 37) % 1001, 1 + (i * 13) % 500, i % 3, i % 2)
            )
    return objects


def start_sim(args, config, work):
    log = open(os.path.join(work, "sim.log"), "ab")
    sim = subprocess.Popen(
        [args.sim, "--config", config, "--line-rate"], stdout=subprocess.PIPE, stderr=log
    )
    line = sim.stdout.readline().decode().strip()
    if not line.startswith("port: "):
        sim.kill()
        raise SystemExit("line_rate: nimbra-sim did not start: " + line)
    return sim, line[len("port: ") :]


def stop_sim(sim):
    sim.terminate()
    sim.wait(timeout=10)


def run_vexilo(args, device, module, count, work):
    env = dict(os.environ, VEXILO_SETTINGS=os.path.join(work, "settings.ini"),
               VEXILO_AUDIT=os.path.join(work, "audit.sqlite"))
    start = time.monotonic()
    cli = subprocess.Popen(
        [args.cli, "--port", device, "send", module], stderr=subprocess.PIPE, env=env
    )
    downloading = done = None
    for raw in cli.stderr:
        now = time.monotonic()
        line = raw.decode(errors="replace").strip()
        if line == "status: Downloading %d objects" % count:
            downloading = now
        elif line == "status: %d objects downloaded" % count:
            done = now
    if cli.wait() != 0 or downloading is None or done is None:
        raise SystemExit("line_rate: vexilo-cli send failed")
    return done - start, done - downloading


def run_changed_only(args, device, module, count, work):
    """A new vexilo-cli run: reads the configuration, compares, sends nothing."""
    env = dict(os.environ, VEXILO_SETTINGS=os.path.join(work, "settings.ini"),
               VEXILO_AUDIT=os.path.join(work, "audit.sqlite"))
    start = time.monotonic()
    out = subprocess.run(
        [args.cli, "--port", device, "send", "--changed-only", module],
        env=env,
        capture_output=True,
        text=True,
    )
    took = time.monotonic() - start
    if out.returncode != 0 or "already in the Nimbra" not in out.stderr:
        raise SystemExit("line_rate: vexilo-cli send --changed-only failed:\n" + out.stderr)
    return took


def run_session(args, device, module, count, work):
    """One window session: the whole send, then the changed-only re-send."""
    env = dict(os.environ, VEXILO_SETTINGS=os.path.join(work, "session.ini"),
               VEXILO_AUDIT=os.path.join(work, "audit.sqlite"))
    out = subprocess.run(
        [args.session, device, work, os.path.splitext(os.path.basename(module))[0], str(count)],
        env=env,
        capture_output=True,
        text=True,
    )
    if out.returncode != 0:
        raise SystemExit("line_rate: the window session failed:\n" + out.stderr)
    figures = dict(item.split("=", 1) for item in out.stdout.split())
    return float(figures["whole_s"]), float(figures["resend_s"])


def measure_resend(args, count, module, wire_total, work):
    sim, device = start_sim(args, os.path.join(work, "instrument-empty.nol"), work)
    try:
        whole, in_session = run_session(args, device, module, count, work)
        new_run = run_changed_only(args, device, module, count, work)
    finally:
        stop_sim(sim)
    print("  re-send of the unchanged list with only changed objects:")
    print("  %-34s %8.3fs" % ("whole send in the window", whole))
    for name, took in (
        ("re-send in the same window session", in_session),
        ("re-send in a new vexilo-cli run", new_run),
    ):
        ratio = wire_total / took
        print(
            "  %-34s %8.3fs   %.1fx %s than the whole send's wire time"
            % (name, took, ratio if ratio >= 1 else 1 / ratio, "faster" if ratio >= 1 else "slower")
        )
    sys.stdout.flush()


def run_plain(device, lines_file):
    out = subprocess.run(
        ["/usr/bin/python3", os.path.join(HERE, "plain_sender.py"), device, lines_file],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    figures = dict(line.split("=", 1) for line in out.split())
    return {k: float(v) for k, v in figures.items()}


def measure(args, count, work):
    header = header_lines(args.instrument)
    empty = os.path.join(work, "instrument-empty.nol")
    write_lines(empty, header)
    module = os.path.join(work, "module%d.nol" % count)
    write_lines(module, [b"Bench module, %d objects" % count] + header[1:] + module_objects(count))

    lines_file = os.path.join(work, "lines%d.txt" % count)
    with open(lines_file, "wb") as f:
        subprocess.run(
            [args.cli, "download-lines", "--instrument", empty, module],
            check=True,
            stdout=f,
            stderr=subprocess.DEVNULL,
        )

    # Alternating rounds, each on a fresh simulator: a loaded machine slows both alike.
    vexilo, plain = [], []
    for _ in range(args.rounds):
        sim, device = start_sim(args, empty, work)
        try:
            vexilo.append(run_vexilo(args, device, module, count, work))
        finally:
            stop_sim(sim)
        sim, device = start_sim(args, empty, work)
        try:
            plain.append(run_plain(device, lines_file))
        finally:
            stop_sim(sim)

    figures = plain[0]
    wire_download = figures["download_bytes"] * 10 / 38400
    wire_total = figures["low_bytes"] * 10 / 9600 + 0.2 + figures["high_bytes"] * 10 / 38400
    print(
        "%d objects, %d bytes both ways while downloading; median of %d round(s)"
        % (count, figures["download_bytes"], args.rounds)
    )
    print("  %-34s %9s %9s" % ("", "download", "total"))
    print("  %-34s %8.3fs %8.3fs" % ("wire (10 bits a byte, + 200 ms)", wire_download, wire_total))
    for name, download, total in (
        ("vexilo-cli send", median([v[1] for v in vexilo]), median([v[0] for v in vexilo])),
        (
            "plain stop-and-wait sender",
            median([p["download_s"] for p in plain]),
            median([p["total_s"] for p in plain]),
        ),
    ):
        print(
            "  %-34s %8.3fs %8.3fs   %+.2f%% / %+.2f%% of the wire, %.0f us a line over it"
            % (
                name,
                download,
                total,
                100 * (download / wire_download - 1),
                100 * (total / wire_total - 1),
                1e6 * (download - wire_download) / count,
            )
        )
    sys.stdout.flush()
    if args.session and count == args.counts[0]:
        measure_resend(args, count, module, wire_total, work)


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--instrument", required=True)
    parser.add_argument("--session", help="bench_resend_session, for the re-send case")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("counts", nargs="*", type=int, default=[1928, 500])
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vexilo-line-rate-") as work:
        for count in args.counts:
            measure(args, count, work)


if __name__ == "__main__":
    main()

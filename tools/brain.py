"""A brain process driven over the Gomocup protocol: send lines, collect timed replies.

Shared by the tools in this directory. Standard library only.
"""

import os
import queue
import re
import shlex
import signal
import subprocess
import threading
import time

MOVE_RE = re.compile(r"^(\d+),(\d+)$")

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_ENGINE = os.path.join(REPO_ROOT, "build", "pbrain-zerin")


class EngineDied(Exception):
    """The engine closed its standard output (crashed or exited)."""


class EngineHung(Exception):
    """No awaited line within the hard deadline."""


class Brain:
    """One engine process. Every line it writes is timestamped by a reader thread the
    moment it is read, so delays do not depend on when the caller looks at them."""

    def __init__(self, command, name, on_line=None):
        self.name = name
        self.argv = shlex.split(command) if isinstance(command, str) else list(command)
        self.proc = subprocess.Popen(self.argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     bufsize=0)
        self.lines = queue.Queue()
        self.on_line = on_line  # called with (brain, line) for every line that is not a move
        self.last_write = None
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        out = self.proc.stdout
        while True:
            raw = out.readline()
            stamp = time.monotonic()
            if not raw:
                self.lines.put((stamp, None))
                return
            self.lines.put((stamp, raw.decode("utf-8", "replace").rstrip("\r\n")))

    def send(self, *lines):
        """Writes the lines in one piece; returns the time right after the write."""
        data = "".join(line + "\n" for line in lines).encode()
        try:
            self.proc.stdin.write(data)
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError) as exc:
            raise EngineDied(f"{self.name}: write failed ({exc})")
        self.last_write = time.monotonic()
        return self.last_write

    def suspend(self):
        """Stops every thread of the engine (SIGSTOP), as the Gomocup judge suspends a brain
        between its moves. Under Wine the process started is the Windows program itself."""
        try:
            os.kill(self.proc.pid, signal.SIGSTOP)
        except ProcessLookupError:
            pass

    def resume(self):
        """Lets a suspended engine run again; returns the time right after the signal."""
        try:
            os.kill(self.proc.pid, signal.SIGCONT)
        except ProcessLookupError:
            pass
        return time.monotonic()

    def resident_peak_bytes(self):
        """The engine's peak resident size (VmHWM) from /proc, or None."""
        try:
            with open(f"/proc/{self.proc.pid}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        return int(line.split()[1]) * 1024
        except (OSError, ValueError, IndexError):
            return None
        return None

    def sched_ms(self):
        """(milliseconds on a processor, milliseconds waiting for one, milliseconds in the
        kernel) summed over the engine's threads, from /proc; None where that is not
        available. Tells a slow engine from a busy machine. The kernel time has the
        resolution of a clock tick."""
        base = f"/proc/{self.proc.pid}"
        run = wait = 0
        try:
            for task in os.listdir(f"{base}/task"):
                with open(f"{base}/task/{task}/schedstat") as f:
                    fields = f.read().split()
                run += int(fields[0])
                wait += int(fields[1])
            with open(f"{base}/stat") as f:
                stat = f.read()
            system_ticks = int(stat[stat.rindex(")") + 2:].split()[12])
        except (OSError, ValueError, IndexError):
            return None
        return run / 1e6, wait / 1e6, system_ticks * 1000.0 / os.sysconf("SC_CLK_TCK")

    def next_line(self, deadline):
        """The next (timestamp, line); raises EngineDied at end of output, EngineHung at the deadline."""
        wait = deadline - time.monotonic()
        try:
            stamp, line = self.lines.get(timeout=max(0.0, wait))
        except queue.Empty:
            raise EngineHung(f"{self.name}: nothing within the deadline")
        if line is None:
            # The output closes a moment before the process can be waited for.
            try:
                code = self.proc.wait(timeout=2.0)
            except subprocess.TimeoutExpired:
                code = None
            raise EngineDied(f"{self.name}: output closed (exit status {code})")
        return stamp, line

    def wait_for(self, accept, hard_timeout):
        """Reads lines until accept(line) is true; returns (timestamp, line, others), where
        others are the lines read before it."""
        deadline = time.monotonic() + hard_timeout
        others = []
        while True:
            stamp, line = self.next_line(deadline)
            if accept(line):
                return stamp, line, others
            others.append(line)
            if self.on_line:
                self.on_line(self, line)

    def wait_move(self, hard_timeout):
        """Waits for a move reply "x,y"; returns (x, y, timestamp, other lines)."""
        stamp, line, others = self.wait_for(lambda l: MOVE_RE.match(l) is not None, hard_timeout)
        m = MOVE_RE.match(line)
        return int(m.group(1)), int(m.group(2)), stamp, others

    def drain(self, settle=0.05):
        """Collects (timestamp, line) for what the engine writes until it has been quiet
        for `settle` seconds."""
        got = []
        while True:
            try:
                stamp, line = self.lines.get(timeout=settle)
            except queue.Empty:
                return got
            if line is None:
                self.lines.put((stamp, None))
                return got
            got.append((stamp, line))
            if self.on_line:
                self.on_line(self, line)

    def close(self, timeout=3.0):
        """Sends END and waits for the exit; returns the exit status, or None when the
        process had to be killed. A suspended engine is resumed first."""
        self.resume()
        try:
            self.send("END")
        except EngineDied:
            pass
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None
        finally:
            try:
                self.proc.stdin.close()
            except OSError:
                pass


def start_command(width, height):
    """START for a square board, RECTSTART otherwise."""
    return f"START {width}" if width == height else f"RECTSTART {width},{height}"

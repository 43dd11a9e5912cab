#!/usr/bin/env python3
"""Refreshes the fuzz seed corpora from the simulated meter's own answers.

Usage: collect-seeds.py BUILD_DIR   (a normal build holding tarnlux-meter and tarnlux-cli)

Each seed is the target's choice bytes (see the target's source) followed by
the text the meter sent, without the echo of the command where the parser
expects the answer alone.
"""
import hashlib
import os
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROFILES = ["liquid1", "gas4", "echoflux", "dual2", "old", "oldnulltrack", "legacy", "twochannel"]

# (target, choice bytes, command, keep the echo)
QUERIES = [
    ("answer_header", b"\x00", "qg A01", True),
    ("site_answers", b"\x00\x00", "qg 008", False),
    ("site_answers", b"\x43\x00", "qg 400", False),
    ("site_answers", b"\x83\x00", "qg 300", False),
    ("site_answers", b"\x41\x01", "qg 401", False),
    ("meter_config", b"\x00", "qg 500", False),
    ("signal_answer", b"\x00", "qg 001", False),
    ("signal_answer", b"\x00", "qg 103", False),
    ("diagnostics", b"\x0c\x00", "qg 208", False),
    ("diagnostics", b"\xc8\x00", "qg 008", False),
    ("meter_block", b"\x00", "cv 0 qmmem", True),
    ("meter_block", b"\x01", "cv 0 qmmem", True),
    ("meter_block", b"\x80", "cv 0 qmcmd", True),
    ("typed_read", b"\x00", "cv 0 abar", True),
    ("typed_read", b"\x09", "cv 0 stdflow", True),
    ("typed_read", b"\x11", "cv 0 totmod", True),
    ("typed_read", b"\x1b", "cv 0 vfv", True),
    ("typed_read", b"\x23", "cv 0 delta_t", True),
    ("typed_read", b"\x2c", "cv 0 flegend", True),
    ("typed_read", b"\x2d", "cv 0 id", True),
    ("typed_read", b"\x3a", "cv 0 fx", True),
    ("aga8_listing", b"\x00", "cv 0 temp_grid", True),
    ("aga8_listing", b"\x01", "cv 0 pres_grid", True),
    ("aga8_listing", b"\x02", "cv 0 dens_grid", True),
    ("password", b"\x00", "cv 0 pw", True),
    ("password", b"\x03", "cv 4 pw", True),
]

# The terminal: (columns, rows, options, cut) then what the meter sent to a
# session typing these lines (its menu screens included).
_COMMANDE = "\x1b[D" * 6 + "\b" * 18
TERM_SCRIPTS = [
    (bytes([80, 24, 0, 17]), "Menue\n2\n" + _COMMANDE + "\ntest\n"),
    (bytes([40, 10, 1, 5]), "Menue\n\x1b[B\x1b[B\n\x0c\n\x1b[D\n"),
    (bytes([80, 24, 6, 200]), "cv 0 id\nMenue\n1\n\x1b[D\x1b[D\x1b[D\ntest\n"),
    (bytes([20, 3, 1, 40]), "Menue\n4\n" + _COMMANDE + "\ncv 0 vfv\n"),
]


def block_check(text):
    """The command block's check value: the first character's code, then shift
    left by one (8 bits kept) and exclusive-or each following character."""
    value = ord(text[0])
    for c in text[1:]:
        value = ((value << 1) & 0xFF) ^ ord(c)
    return "%02X" % value


def command_text(channel, sequence, code, arg):
    fields = "%s,%X,%s," % (sequence, code, arg)
    return "cv %d qmcmd[0] %s%s,%s\x04" % (channel, fields, block_check(fields), sequence)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def save(target, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def cli(cli_bin, folder, *args):
    return subprocess.run([cli_bin, "--dir", folder] + list(args), capture_output=True, timeout=120)


def storage_and_events(cli_bin, folder):
    """Storage answers, and stored-event records the meter kept while a fast
    capture crossed the limits written into its block."""
    cli(cli_bin, folder, "block", "write", "location=A1")
    cli(cli_bin, folder, "storage", "--enable", "--memory", "64")
    for sequence, code in (("S", 0x20), ("T", 0x20 | 0x01)):
        run = cli(cli_bin, folder, "--quiet-ms", "300", "send", command_text(0, sequence, code, ""))
        at = run.stdout.find(b"|")
        if at >= 0:
            save("alarm_storage", bytes([code & 0x0F]) + run.stdout[at:])
    cli(cli_bin, folder, "capture", "--seconds", "120", "--clock", "fast")
    run = cli(cli_bin, folder, "--quiet-ms", "500", "send", command_text(0, "U", 0x10, ""))
    kept = 0
    for line in run.stdout.split(b"\r\n"):
        if len(line) > 4 and line[:3].isdigit() and line[3:4] == b" " and kept < 6:
            save("stored_events", b"\x00" + line[4:])
            kept += 1


def main():
    build = sys.argv[1]
    meter_bin = os.path.join(build, "src/meter/tarnlux-meter")
    cli_bin = os.path.join(build, "src/cli/tarnlux-cli")
    for profile in PROFILES:
        port = free_port()
        meter = subprocess.Popen([meter_bin, "--tcp", str(port), "--profile", profile],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            for line in meter.stdout:
                if line.strip() == b"ready":
                    break
            with tempfile.TemporaryDirectory() as folder:
                with open(os.path.join(folder, "qm.cfg"), "wb") as f:
                    f.write(b"[COMMUNICATIONS]\r\nPORT=TCP/IP\r\nIP_ADDRESS=127.0.0.1\r\nIP_PORT=%d\r\n" % port)
                for target, choice, command, keep_echo in QUERIES:
                    run = subprocess.run([cli_bin, "--dir", folder, "--quiet-ms", "300", "send", command],
                                         capture_output=True, timeout=30)
                    out = run.stdout
                    if run.returncode != 0 or not out.strip():
                        continue
                    if not keep_echo:
                        echo = command.encode() + b"\r"
                        at = out.find(echo)
                        if at >= 0:
                            out = out[at + len(echo):]
                    save(target, choice + out)
                if profile == "liquid1":
                    storage_and_events(cli_bin, folder)
                if profile == PROFILES[0]:
                    for choice, script in TERM_SCRIPTS:
                        run = subprocess.run([cli_bin, "--dir", folder, "--quiet-ms", "300", "term"],
                                             input=script.encode(), capture_output=True, timeout=30)
                        if run.returncode == 0 and run.stdout:
                            save("terminal", choice + run.stdout)
        finally:
            meter.terminate()
            meter.wait()


if __name__ == "__main__":
    main()

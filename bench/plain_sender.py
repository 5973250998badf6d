#!/usr/bin/python3
"""A plain stop-and-wait sender, the yardstick for Vexilo's download.

It does what the workbench does for a first send after start-up, in the simplest way: the
speed switch (SET_BAUD 38400 at 9600 baud, its "@", switch, 200 ms pause), GET_CONFIG read
to its end line, then each DLD_OBJ line only after the "@" for the one before; at the end
SET_BAUD 9600, as the workbench leaves the instrument. Uses Debian's python3-serial.

    plain_sender.py DEVICE LINES_FILE

LINES_FILE holds the DLD_OBJ command lines, one a line (vexilo-cli download-lines makes
them). Prints "key=value" lines: seconds from the start to the last "@", seconds of the
download alone, and the bytes that crossed the line at each speed.
"""

import sys
import time

import serial

CR = b"\r"


def read_line(port):
    """Bytes up to the next CR; fails when the instrument stays silent."""
    line = port.read_until(CR)
    if not line.endswith(CR):
        raise SystemExit("plain_sender: no answer (got %r)" % line)
    return line[:-1]


def command(port, text):
    port.write(text.encode("latin-1") + CR)
    reply = read_line(port)
    if reply != b"@":
        raise SystemExit("plain_sender: %s refused: %r" % (text, reply))
    return len(text) + 1 + len(reply) + 1


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: plain_sender.py DEVICE LINES_FILE")
    with open(sys.argv[2], encoding="latin-1") as f:
        lines = [line.rstrip("\r\n") for line in f if line.strip()]

    start = time.monotonic()
    port = serial.Serial(sys.argv[1], 9600, xonxoff=True, timeout=5.5)
    low_bytes = command(port, "SET_BAUD 38400")
    port.baudrate = 38400
    time.sleep(0.2)
    port.reset_input_buffer()

    high_bytes = len("GET_CONFIG") + 1
    port.write(b"GET_CONFIG" + CR)
    while True:
        line = read_line(port)
        high_bytes += len(line) + 1
        if line.startswith(b"|"):
            break

    download_start = time.monotonic()
    download_bytes = 0
    for text in lines:
        download_bytes += command(port, text)
    end = time.monotonic()
    high_bytes += download_bytes

    port.write(b"SET_BAUD 9600" + CR)
    port.flush()
    time.sleep(1.0)
    port.close()

    print("total_s=%.4f" % (end - start))
    print("download_s=%.4f" % (end - download_start))
    print("low_bytes=%d" % low_bytes)
    print("high_bytes=%d" % high_bytes)
    print("download_bytes=%d" % download_bytes)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A transfer written the way a hurried person would: the standard library's
termios and os, one write per byte, the same protocol.
    naive_transfer.py DEVICE IMAGE
"""
import os
import select
import sys
import termios
import tty


def main() -> int:
    device, image_path = sys.argv[1], sys.argv[2]
    image = open(image_path, "rb").read()
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attributes = termios.tcgetattr(fd)
    attributes[4] = attributes[5] = termios.B38400
    termios.tcsetattr(fd, termios.TCSANOW, attributes)
    os.write(fd, b"\n\nWR")
    total = 0
    for index, byte in enumerate(image):
        os.write(fd, bytes([byte]))
        total += byte
        if index % 256 == 255:
            reply = b""
            while len(reply) < 2:
                ready, _, _ = select.select([fd], [], [], 5.0)
                if not ready:
                    return 1
                reply += os.read(fd, 2 - len(reply))
            if reply != bytes([total & 0xFF, (total >> 8) & 0xFF]):
                return 1
    os.close(fd)
    return 0


if __name__ == "__main__":
    sys.exit(main())

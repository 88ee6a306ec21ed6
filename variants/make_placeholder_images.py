#!/usr/bin/env python3
"""Makes the two placeholder firmware images, km37.bin and km37b.bin.

The real images are enciphered data produced apart from the updater. These
stand in for them when building and trying the updater: 64,512 bytes each,
different from each other, and the same every time this script runs (a
SHA-256 stream seeded by the variant's name), so every byte value occurs and
the acknowledgement sums cover their whole range.
"""
import hashlib
import pathlib

IMAGE_SIZE = 64512


def placeholder_image(seed: str) -> bytes:
    stream = bytearray()
    counter = 0
    while len(stream) < IMAGE_SIZE:
        stream += hashlib.sha256(f"{seed}:{counter}".encode()).digest()
        counter += 1
    return bytes(stream[:IMAGE_SIZE])


def main() -> None:
    here = pathlib.Path(__file__).resolve().parent
    for name in ("km37", "km37b"):
        (here / f"{name}.bin").write_bytes(placeholder_image(f"placeholder firmware {name}"))


if __name__ == "__main__":
    main()

"""The far end of the ALSA capture: reads the raw 16-bit stereo stream that
the ALSA file plugin pipes in and writes one line per 0.1 s of sound,
stamped with the wall-clock time it arrived: "TIME RMS PEAK" (RMS as a
fraction of full scale, PEAK in sample units).

The null device under the plugin takes sound as fast as it comes, so the
number of samples says little about time; the arrival stamps do.
"""
import array
import math
import sys
import time

CHUNK = 4410 * 4  # 0.1 s of 44.1 kHz 16-bit stereo


def main(path):
    with open(path, "w") as out:
        while True:
            chunk = sys.stdin.buffer.read(CHUNK)
            if not chunk:
                break
            samples = array.array("h")
            samples.frombytes(chunk[:len(chunk) // 2 * 2])
            if not samples:
                continue
            rms = math.sqrt(sum(x * x for x in samples) / len(samples)) / 32768
            peak = max(abs(x) for x in samples)
            out.write(f"{time.time():.3f} {rms:.5f} {peak}\n")
            out.flush()


if __name__ == "__main__":
    main(sys.argv[1])

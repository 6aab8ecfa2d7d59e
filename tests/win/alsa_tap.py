"""The far end of the ALSA capture: reads the raw 16-bit stereo stream the
ALSA file plugin pipes in and writes "TIME RMS PEAK" for every 0.1 s of it
(RMS as a fraction of full scale), stamped with the wall-clock time it
arrived: the null device under the plugin takes sound as fast as it comes,
so the arrival stamps tell the time, not the number of samples."""
import array
import math
import sys
import time

with open(sys.argv[1], "w") as out:
    while chunk := sys.stdin.buffer.read(4410 * 4):
        samples = array.array("h", chunk[:len(chunk) // 2 * 2])
        if samples:
            rms = math.sqrt(sum(x * x for x in samples) / len(samples)) / 32768
            out.write(f"{time.time():.3f} {rms:.5f} {max(abs(x) for x in samples)}\n")
            out.flush()

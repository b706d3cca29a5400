import sys
import time


def main(path):
    lines = 0
    total = 0
    with open(path, "rb") as f:
        for line in f:
            lines += 1
            total += len(line) - 1
    return lines * 1000 + total


start = time.perf_counter()
result = main(sys.argv[1])
elapsed = time.perf_counter() - start
print(elapsed)
print(result)

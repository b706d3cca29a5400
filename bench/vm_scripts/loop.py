import time


def main():
    total = 0
    for i in range(1, 10000001):
        total += i
    return total


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
assert result == 50000005000000
print(elapsed)

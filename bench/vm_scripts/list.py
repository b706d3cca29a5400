import time


def main():
    items = []
    for i in range(0, 1000000):
        items.append(i)
    total = 0
    for i in range(0, 1000000):
        total += items[i]
    return total


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
assert result == 499999500000
print(elapsed)

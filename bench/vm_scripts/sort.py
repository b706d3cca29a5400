import time


def main():
    items = []
    x = 1
    for i in range(0, 200000):
        x = (x * 16807) % 2147483647
        items.append(x)
    items.sort()
    return items[0] + items[100000] + items[199999]


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
print(elapsed)
print(result)

import time


def main():
    table = {}
    for i in range(1, 200001):
        table["key" + str(i)] = i
    total = 0
    for i in range(1, 200001):
        total += table["key" + str(i)]
    return total


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
assert result == 20000100000
print(elapsed)

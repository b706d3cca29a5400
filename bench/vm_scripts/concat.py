import time


def main():
    s = ""
    x = "x"
    for i in range(1, 100001):
        s = s + x
    return len(s)


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
assert result == 100000
print(elapsed)

import time


def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)


def main():
    return fib(30)


start = time.perf_counter()
result = main()
elapsed = time.perf_counter() - start
assert result == 832040
print(elapsed)

def fib(n)
  return n if n < 2
  fib(n - 1) + fib(n - 2)
end

start = Time.now
result = fib(30)
elapsed = Time.now - start
raise "wrong result" unless result == 832040
puts elapsed

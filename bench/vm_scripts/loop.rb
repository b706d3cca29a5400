def main
  total = 0
  i = 1
  while i <= 10000000
    total += i
    i += 1
  end
  total
end

start = Time.now
result = main
elapsed = Time.now - start
raise "wrong result" unless result == 50000005000000
puts elapsed

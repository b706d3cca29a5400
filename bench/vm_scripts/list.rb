def main
  items = []
  i = 0
  while i < 1000000
    items.push(i)
    i += 1
  end
  total = 0
  i = 0
  while i < 1000000
    total += items[i]
    i += 1
  end
  total
end

start = Time.now
result = main
elapsed = Time.now - start
raise "wrong result" unless result == 499999500000
puts elapsed

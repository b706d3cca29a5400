def main
  items = []
  x = 1
  i = 0
  while i < 200000
    x = (x * 16807) % 2147483647
    items.push(x)
    i += 1
  end
  items.sort!
  items[0] + items[100000] + items[199999]
end

start = Time.now
result = main
elapsed = Time.now - start
puts elapsed
puts result

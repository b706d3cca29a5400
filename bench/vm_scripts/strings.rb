def main
  table = {}
  i = 1
  while i <= 200000
    table["key" + i.to_s] = i
    i += 1
  end
  total = 0
  i = 1
  while i <= 200000
    total += table["key" + i.to_s]
    i += 1
  end
  total
end

start = Time.now
result = main
elapsed = Time.now - start
raise "wrong result" unless result == 20000100000
puts elapsed

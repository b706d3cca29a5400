def main
  s = ""
  x = "x"
  i = 1
  while i <= 100000
    s = s + x
    i += 1
  end
  s.size
end

start = Time.now
result = main
elapsed = Time.now - start
raise "wrong result" unless result == 100000
puts elapsed

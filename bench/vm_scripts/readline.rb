def main(path)
  lines = 0
  total = 0
  File.open(path, "rb") do |f|
    f.each_line do |line|
      lines += 1
      total += line.bytesize - 1
    end
  end
  lines * 1000 + total
end

start = Time.now
result = main(ARGV[0])
elapsed = Time.now - start
puts elapsed
puts result

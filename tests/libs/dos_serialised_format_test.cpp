#include "libs/dos/serialised_format.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/dos/base64.h"
#include "runtime/app/errors.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

SerialSource MemorySource(const std::string &bytes) {
    SerialSource source;
    source.bytes = std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    return source;
}

std::string Encode(const SerialTable &table, bool text = false) {
    std::string out;
    EXPECT_EQ(EncodeTableBody(table, text, &out), 0);
    return out;
}

int Decode(const std::string &bytes, SerialTable *table) {
    SerialSource source = MemorySource(bytes);
    return DecodeTableBody(&source, table);
}

SerialPair NumberPair(double key, double value) {
    SerialPair pair;
    pair.key.number = key;
    pair.value.number = value;
    return pair;
}

SerialPair StringPair(const std::string &key, const std::string &value) {
    SerialPair pair;
    pair.key.isString = true;
    pair.key.text = key;
    pair.value.tag = kTagString;
    pair.value.bytes = value;
    return pair;
}

// A chunk-shaped body: the VM's chunks begin with ESC.
std::string FakeChunk(size_t n) {
    std::string chunk = "\x1BVLB";
    for (size_t i = 0; chunk.size() < n; ++i)
        chunk.push_back(static_cast<char>(i * 37));
    return chunk;
}

SerialTable Sample() {
    SerialTable table;
    table.pairs.push_back(NumberPair(0, -0.0));
    table.pairs.push_back(NumberPair(1, 1e300));
    table.pairs.push_back(StringPair(std::string("k\0ey", 4), std::string("va\0lue", 6)));
    table.pairs.push_back(StringPair(std::string(300, 'K'), std::string(300, 'V')));
    SerialPair nested;
    nested.key.isString = true;
    nested.key.text = "inner";
    nested.value.tag = kTagTable;
    nested.value.table = std::make_unique<SerialTable>();
    nested.value.table->pairs.push_back(NumberPair(-5, 2.5));
    SerialPair function;
    function.key.number = 7;
    function.value.tag = kTagFunction;
    function.value.bytes = FakeChunk(200);
    nested.value.table->pairs.push_back(std::move(function));
    table.pairs.push_back(std::move(nested));
    return table;
}

TEST(TableFormat, EmptyTableIsOneEndByte) {
    EXPECT_EQ(Encode(SerialTable{}), std::string(1, '\0'));
}

TEST(TableFormat, NumberKeyStringValueLayout) {
    SerialTable table;
    table.pairs.push_back(StringPair("", "a"));
    table.pairs[0].key.isString = false;
    table.pairs[0].key.number = 1;
    EXPECT_EQ(Encode(table), std::string("\x02\x3F\xF0\0\0\0\0\0\0\x03\0\0\0\x01"
                                         "a\0",
                                         16));
}

TEST(TableFormat, RoundTripIsByteExact) {
    for (bool text : {false, true}) {
        std::string bytes = Encode(Sample(), text);
        SerialTable decoded;
        ASSERT_EQ(Decode(bytes, &decoded), 0) << text;
        // Functions come back as raw chunks, so the re-encoding in the same form matches exactly.
        EXPECT_EQ(Encode(decoded, text), bytes) << text;
        EXPECT_TRUE(std::signbit(decoded.pairs[0].value.number));
        EXPECT_EQ(decoded.pairs[4].value.table->pairs[1].value.bytes, FakeChunk(200));
    }
}

TEST(TableFormat, LongStringKeysRoundTrip) {
    SerialTable table;
    table.pairs.push_back(StringPair(std::string(257, 'x'), "v"));
    SerialTable decoded;
    ASSERT_EQ(Decode(Encode(table), &decoded), 0);
    EXPECT_EQ(decoded.pairs[0].key.text, std::string(257, 'x'));
}

TEST(TableFormat, EveryTruncationIsAnError) {
    std::string bytes = Encode(Sample(), false);
    std::string text = Encode(Sample(), true);
    for (const std::string *full : {&bytes, &text}) {
        for (size_t cut = 0; cut < full->size(); ++cut) {
            SerialTable decoded;
            EXPECT_EQ(Decode(full->substr(0, cut), &decoded), kErrReadBeyondEnd) << "cut at " << cut;
        }
    }
}

TEST(TableFormat, UnknownTagsAreRefused) {
    SerialTable decoded;
    EXPECT_EQ(Decode(std::string("\x09", 1), &decoded), kErrWrongUsage);
    EXPECT_EQ(Decode(std::string("\x02\0\0\0\0\0\0\0\0\x09", 10), &decoded), kErrWrongUsage);
    EXPECT_EQ(Decode(std::string("\x04", 1), &decoded), kErrWrongUsage); // a table as a key
}

TEST(TableFormat, NaNKeyIsRefused) {
    SerialTable decoded;
    EXPECT_EQ(Decode(std::string("\x02\x7F\xF8\0\0\0\0\0\0\x02\0\0\0\0\0\0\0\0\0", 19), &decoded),
              kErrWrongUsage);
}

TEST(TableFormat, DeepNestingIsRefusedWithoutRecursingFurther) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += std::string("\x02\0\0\0\0\0\0\0\0\x04", 10);
    SerialTable decoded;
    EXPECT_EQ(Decode(deep, &decoded), kErrStackOverflow);
}

TEST(TableFormat, ForgedLengthsAreCheckedBeforeAllocating) {
    SerialTable decoded;
    EXPECT_EQ(Decode(std::string("\x03\xFF\xFF\xFF\xFF"
                                 "abc",
                                 8),
                     &decoded),
              kErrReadBeyondEnd);
    EXPECT_EQ(Decode(std::string("\x02\0\0\0\0\0\0\0\0\x03\xFF\xFF\xFF\xF0"
                                 "abc",
                                 17),
                     &decoded),
              kErrReadBeyondEnd);
}

TEST(FunctionRecord, RawLengthCountsTheBody) {
    std::string chunk = FakeChunk(50), out;
    ASSERT_EQ(EncodeFunctionRecord(ToBytes(chunk), false, &out), 0);
    EXPECT_EQ(out.substr(0, 4), std::string("\0\0\0\x32", 4));
    EXPECT_EQ(out.substr(4), chunk);
}

TEST(FunctionRecord, TextFormHasHexLengthAndShortLines) {
    std::string chunk = FakeChunk(500), out;
    ASSERT_EQ(EncodeFunctionRecord(ToBytes(chunk), true, &out), 0);
    std::string body = out.substr(8);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%.8zx", body.size());
    EXPECT_EQ(out.substr(0, 8), hex);
    size_t start = 0;
    for (size_t lf; (lf = body.find('\n', start)) != std::string::npos; start = lf + 1)
        EXPECT_EQ(lf - start, kBase64LineLength);
    EXPECT_LE(body.size() - start, kBase64LineLength);
    EXPECT_NE(body.back(), '\n');
}

TEST(FunctionRecord, BothFormsDecode) {
    std::string chunk = FakeChunk(333);
    for (bool text : {false, true}) {
        std::string record, decoded, inTable;
        ASSERT_EQ(EncodeFunctionRecord(ToBytes(chunk), text, &record), 0);
        SerialSource source = MemorySource(record);
        ASSERT_EQ(DecodeFunctionRecord(&source, text, &decoded), 0);
        EXPECT_EQ(decoded, chunk);
        EXPECT_EQ(source.offset, record.size());
        source = MemorySource(record);
        ASSERT_EQ(DecodeTableFunctionRecord(&source, &inTable), 0);
        EXPECT_EQ(inTable, chunk);
    }
}

TEST(FunctionRecord, TextBodyDecodesWithPythonBase64) {
    std::string chunk = FakeChunk(1000), record;
    ASSERT_EQ(EncodeFunctionRecord(ToBytes(chunk), true, &record), 0);
    std::string base =
        (std::filesystem::temp_directory_path() / ("vl_b64_" + std::to_string(getpid()))).string();
    std::ofstream(base + ".txt", std::ios::binary) << record.substr(8);
    std::ofstream(base + ".bin", std::ios::binary) << chunk;
    std::string command = "python3 -c 'import sys,base64; t=open(sys.argv[1],\"rb\").read(); "
                          "sys.exit(0 if base64.b64decode(t.replace(b\"\\n\",b\"\")) == "
                          "open(sys.argv[2],\"rb\").read() else 1)' " +
                          base + ".txt " + base + ".bin";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::filesystem::remove(base + ".txt");
    std::filesystem::remove(base + ".bin");
}

TEST(FunctionRecord, HugeLengthInASmallRecordIsRefused) {
    std::string decoded;
    std::string raw("\xFF\xFF\xFF\xFF\x1B"
                    "abcdefghijk",
                    16),
        text = "ffffffffQUJD";
    SerialSource source = MemorySource(raw);
    EXPECT_EQ(DecodeFunctionRecord(&source, false, &decoded), kErrReadBeyondEnd);
    source = MemorySource(text);
    EXPECT_EQ(DecodeFunctionRecord(&source, true, &decoded), kErrReadBeyondEnd);
}

TEST(FunctionRecord, NonHexLengthIsRefused) {
    std::string decoded;
    std::string text = "0000000gQUJD";
    SerialSource source = MemorySource(text);
    EXPECT_EQ(DecodeFunctionRecord(&source, true, &decoded), kErrInvalidBase64);
}

TEST(Base64, SeventyTwoCharactersNeedNoLineBreak) {
    EXPECT_EQ(Base64Encode(Bytes(54, 0xAB)).size(), 72u);
    std::string longer = Base64Encode(Bytes(55, 0xAB));
    EXPECT_EQ(longer.size(), 77u);
    EXPECT_EQ(longer[72], '\n');
}

TEST(Base64, PaddingOfShortGroups) {
    EXPECT_EQ(Base64Encode(ToBytes("a")), "YQ==");
    EXPECT_EQ(Base64Encode(ToBytes("ab")), "YWI=");
    EXPECT_EQ(Base64Encode(ToBytes("abc")), "YWJj");
}

TEST(Base64, DecodingSkipsBlanksAndStopsAfterPadding) {
    Bytes out;
    ASSERT_EQ(Base64Decode("YW Jj\nYW\tI= trailing junk!", 26, &out), 0);
    EXPECT_EQ(out, ToBytes("abcab"));
}

TEST(Base64, BadTextIsRefused) {
    Bytes out;
    EXPECT_EQ(Base64Decode("YW*j", 4, &out), kErrInvalidBase64);
    EXPECT_EQ(Base64Decode("YWJjY", 5, &out), kErrInvalidBase64);
    EXPECT_EQ(Base64Decode("Y===", 4, &out), kErrInvalidBase64);
}

TEST(Base64, RoundTripsEveryLength) {
    Bytes data;
    for (int n = 0; n < 300; ++n) {
        std::string text = Base64Encode(data);
        Bytes out;
        ASSERT_EQ(Base64Decode(text.data(), text.size(), &out), 0) << n;
        EXPECT_EQ(out, data) << n;
        data.push_back(static_cast<uint8_t>(n * 91));
    }
}

} // namespace

#include "base/Filer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <stdexcept>

#include "tests/base/PersistenceTestSupport.h"

namespace {

template <class F>
std::string Written(F write, std::size_t bufferSize = FilerBufferSize) {
  TStringStream stream;
  TWriter writer(stream, bufferSize);
  write(writer);
  writer.FlushBuffer();
  return stream.DataString();
}

TEST(Filer, IntegersTakeTheSmallestCodeThatHoldsThem) {
  struct {
    std::int32_t value;
    const char* bytes;
  } cases[] = {
      {0, "02 00"},           {127, "02 7F"},          {-128, "02 80"},          {128, "03 80 00"},
      {-129, "03 7F FF"},     {32767, "03 FF 7F"},     {-32768, "03 00 80"},     {32768, "04 00 80 00 00"},
      {-32769, "04 FF 7F FF FF"}, {INT_MAX, "04 FF FF FF 7F"}, {INT_MIN, "04 00 00 00 80"},
  };
  for (const auto& c : cases) {
    std::string bytes = Written([&](TWriter& w) { w.WriteInteger(c.value); });
    EXPECT_BYTES(bytes, Bytes(c.bytes)) << c.value;
    TStringStream stream(bytes);
    TReader reader(stream);
    EXPECT_EQ(reader.ReadInteger(), c.value);
  }
}

TEST(Filer, StringsBooleansAndListMarks) {
  std::string a255(255, 'a'), a256(256, 'a');
  struct {
    std::string value;
    std::string bytes;
  } cases[] = {
      {"", Bytes("06 00")},
      {"TAb", Bytes("06 03 'TAb'")},
      {a255, Bytes("06 FF") + a255},
      {a256, Bytes("0C 00 01 00 00") + a256},
      // Beyond ASCII the 8-bit and UTF-8 forms differ: the UTF-8 form is stored.
      {"caf\xC3\xA9", Bytes("14 05 00 00 00 'caf' C3 A9")},
  };
  for (const auto& c : cases) {
    std::string bytes = Written([&](TWriter& w) { w.WriteString(c.value); });
    EXPECT_BYTES(bytes, c.bytes);
    TStringStream stream(bytes);
    TReader reader(stream);
    EXPECT_EQ(reader.ReadString(), c.value);
  }
  std::string marks = Written([](TWriter& w) {
    w.WriteBoolean(false);
    w.WriteBoolean(true);
    w.WriteListBegin();
    w.WriteListEnd();
  });
  EXPECT_BYTES(marks, Bytes("08 09 01 00"));
  TStringStream stream(marks);
  TReader reader(stream);
  EXPECT_FALSE(reader.ReadBoolean());
  EXPECT_TRUE(reader.ReadBoolean());
  EXPECT_FALSE(reader.EndOfList());
  reader.ReadListBegin();
  EXPECT_TRUE(reader.EndOfList());
  reader.ReadListEnd();
}

TEST(Filer, EightBitStringsAreWesternCodePageText) {
  struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"06 04 'caf' E9", "caf\xC3\xA9"},                  // e acute
      {"06 01 80", "\xE2\x82\xAC"},                        // euro sign
      {"0C 02 00 00 00 93 94", "\xE2\x80\x9C\xE2\x80\x9D"},  // curly quotes
      {"06 02 81 FF", "\xC2\x81\xC3\xBF"},                 // unassigned byte kept, y diaeresis
  };
  for (const auto& c : cases) {
    TStringStream stream(Bytes(c.bytes));
    TReader reader(stream);
    EXPECT_EQ(reader.ReadString(), c.text) << c.bytes;
  }
}

TEST(Filer, FloatsAreTheTenBytesOfTheExtended) {
  struct {
    long double value;
    const char* bytes;
  } cases[] = {
      {1.0L, "05 00 00 00 00 00 00 00 80 FF 3F"},
      {0.0L, "05 00 00 00 00 00 00 00 00 00 00"},
      {-2.5L, "05 00 00 00 00 00 00 00 A0 00 C0"},
      {0.1L, "05 CD CC CC CC CC CC CC CC FB 3F"},
      {std::numeric_limits<long double>::infinity(), "05 00 00 00 00 00 00 00 80 FF 7F"},
      {std::numeric_limits<long double>::denorm_min(), "05 01 00 00 00 00 00 00 00 00 00"},
  };
  for (const auto& c : cases) {
    std::string bytes = Written([&](TWriter& w) { w.WriteFloat(c.value); });
    EXPECT_BYTES(bytes, Bytes(c.bytes)) << static_cast<double>(c.value);
    TStringStream stream(bytes);
    TReader reader(stream);
    long double back = reader.ReadFloat();
    EXPECT_EQ(std::memcmp(&back, &c.value, 10), 0);
  }
  // Every bit of the value comes back, a NaN's payload and sign too.
  std::string nan = Bytes("05 34 12 00 00 00 00 00 C0 FF FF");
  TStringStream stream(nan);
  TReader reader(stream);
  long double value = reader.ReadFloat();
  EXPECT_TRUE(std::isnan(value));
  EXPECT_BYTES(Written([&](TWriter& w) { w.WriteFloat(value); }), nan);
}

TEST(Filer, BadValuesRaiseReadErrorsWithWhatWasFound) {
  struct {
    const char* bytes;
    std::string (*read)(TReader&);
    const char* text;
  } cases[] = {
      {"06 00", [](TReader& r) { return std::to_string(r.ReadInteger()); },
       "Expected an integer in the stream, found value code 6"},
      {"02 01", [](TReader& r) { return r.ReadString(); }, "Expected a string in the stream, found value code 2"},
      {"02 01", [](TReader& r) { return std::to_string(r.ReadBoolean()); },
       "Expected a boolean in the stream, found value code 2"},
      {"09", [](TReader& r) { return std::to_string(static_cast<double>(r.ReadFloat())); },
       "Expected a float in the stream, found value code 9"},
      {"00", [](TReader& r) { return (r.ReadListBegin(), std::string()); },
       "Expected a list begin in the stream, found value code 0"},
      {"01", [](TReader& r) { return (r.ReadListEnd(), std::string()); },
       "Expected a list end in the stream, found value code 1"},
      {"04 01 02", [](TReader& r) { return std::to_string(r.ReadInteger()); }, "Stream read error"},
      {"05 00 00", [](TReader& r) { return std::to_string(static_cast<double>(r.ReadFloat())); }, "Stream read error"},
      {"", [](TReader& r) { return std::to_string(r.EndOfList()); }, "Stream read error"},
      {"06 05 'abc'", [](TReader& r) { return r.ReadString(); }, "String of 5 bytes in a stream with 3 bytes left"},
      {"0C FF FF FF 7F 'ab'", [](TReader& r) { return r.ReadString(); },
       "String of 2147483647 bytes in a stream with 2 bytes left"},
      {"14 FE FF FF FF 'ab'", [](TReader& r) { return r.ReadString(); },
       "String of -2 bytes in a stream with 2 bytes left"},
  };
  for (const auto& c : cases) {
    TStringStream stream(Bytes(c.bytes));
    TReader reader(stream);
    EXPECT_EQ(BRV_ERROR_TEXT(EReadError, c.read(reader)), c.text) << c.bytes;
  }
}

TEST(Filer, BufferSizeNeverChangesTheBytes) {
  // Random values and raw blocks around the buffer sizes, written through a tiny and
  // a normal buffer and read back through a tiny one.
  std::mt19937 random(7);
  auto write = [&](TWriter& w, unsigned seed) {
    std::mt19937 r(seed);
    for (int i = 0; i < 400; ++i) {
      switch (r() % 4) {
        case 0: w.WriteInteger(static_cast<std::int32_t>(r())); break;
        case 1: w.WriteString(std::string(r() % 300, static_cast<char>('a' + r() % 26))); break;
        case 2: w.WriteFloat(static_cast<long double>(r()) / 7); break;
        default: {
          std::string raw(r() % 40, 'x');
          w.Write(raw.data(), raw.size());
        }
      }
    }
  };
  unsigned seed = random();
  std::string small = Written([&](TWriter& w) { write(w, seed); }, 16);
  std::string normal = Written([&](TWriter& w) { write(w, seed); });
  EXPECT_EQ(small, normal);

  std::string expected = Written([&](TWriter& w) {
    for (int i = 0; i < 50; ++i) w.WriteString(std::string(static_cast<std::size_t>(i * 7), 'q'));
  });
  TStringStream stream(expected);
  TReader reader(stream, 16);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(reader.ReadString(), std::string(static_cast<std::size_t>(i * 7), 'q'));
  EXPECT_EQ(reader.BytesLeft(), 0);
}

TEST(Filer, AReaderGivesBackWhatItReadAhead) {
  TStringStream stream(Bytes("02 05 06 02 'ok' 09 'tail'"));
  {
    TReader reader(stream);
    EXPECT_EQ(reader.ReadInteger(), 5);
    EXPECT_EQ(reader.BytesLeft(), 9);
    EXPECT_EQ(stream.Position(), 11);  // the whole stream was read ahead
    reader.FlushBuffer();
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(reader.ReadString(), "ok");
  }
  EXPECT_EQ(stream.Position(), 6);  // and freeing it does the same
  TReader reader(stream);
  EXPECT_TRUE(reader.ReadBoolean());
}

// Fails with the standard library's own errors, as a memory stream that cannot grow does.
class TRefusingStream : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  std::size_t Write(const void*, std::size_t) override { throw std::length_error("cannot grow"); }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { throw std::bad_alloc(); }
};

TEST(Filer, AFailingStreamNeverRaisesFromADestructor) {
  TRefusingStream stream(Bytes("02 05 09"));
  {
    TWriter writer(stream);
    writer.WriteInteger(1);
  }  // the buffered bytes cannot be handed over: lost, not raised
  EXPECT_EQ(stream.Size(), 3);
  {
    TReader reader(stream);
    EXPECT_EQ(reader.ReadInteger(), 5);
  }  // the stream cannot move back: it stays past the read-ahead
  EXPECT_EQ(stream.Position(), 3);
}

TEST(Filer, WriterFlushReportsAStreamThatFails) {
  TFileStream full("/dev/full", TFileMode::Create);
  TWriter writer(full);
  writer.WriteInteger(1);
  EXPECT_THROW(writer.FlushBuffer(), EWriteError);
}

}  // namespace

#pragma once
// The filer value encoding shared by the persistence archives and the layout
// streams: TWriter writes values and TReader reads them back through a buffer over a
// stream. Every value is one code byte, then its payload, little-endian:
//
//   0 end of list, 1 list begin, 2/3/4 integer in 1/2/4 bytes (the smallest that
//   holds it), 5 float as the 10-byte 80-bit extended, 6 string of at most 255 bytes
//   (1 length byte), 8 false, 9 true, 12 longer string (4-byte length), 20 string
//   with characters beyond ASCII (4-byte length, UTF-8 bytes).
//
// Strings are UTF-8 in memory. One of only ASCII characters is the same in the
// 8-bit and the UTF-8 form and is written as code 6 or 12; any other is written as
// code 20. Strings of code 6 and 12 read from older data are 8-bit text in the
// Western Windows code page (1252) and become UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Streams.h"

enum class TValueType : std::uint8_t {
  EndOfList = 0,
  ListBegin = 1,
  Int8 = 2,
  Int16 = 3,
  Int32 = 4,
  Extended = 5,
  String = 6,
  False = 8,
  True = 9,
  LongString = 12,
  Utf8String = 20,
};

inline constexpr std::size_t FilerBufferSize = 16384;

class TWriter {
public:
  explicit TWriter(TStream& stream, std::size_t bufferSize = FilerBufferSize);
  // Writes what is still buffered; a failure there is lost, so a writer whose
  // output matters is ended with FlushBuffer.
  ~TWriter();
  TWriter(const TWriter&) = delete;
  TWriter& operator=(const TWriter&) = delete;

  TStream& Stream() { return FStream; }
  // Raw bytes, no code.
  void Write(const void* buffer, std::size_t count);
  void WriteValue(TValueType value);
  void WriteInteger(std::int32_t value);
  void WriteBoolean(bool value);
  void WriteString(std::string_view value);
  void WriteFloat(long double value);
  void WriteListBegin() { WriteValue(TValueType::ListBegin); }
  void WriteListEnd() { WriteValue(TValueType::EndOfList); }
  // Hands the buffered bytes to the stream.
  void FlushBuffer();

private:
  TStream& FStream;
  std::vector<std::uint8_t> FBuffer;
  std::size_t FUsed = 0;
};

class TReader {
public:
  // Reads ahead from the stream's position in blocks of `bufferSize` bytes.
  explicit TReader(TStream& stream, std::size_t bufferSize = FilerBufferSize);
  // FlushBuffer, quietly.
  ~TReader();
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  TStream& Stream() { return FStream; }
  // Raw bytes; fewer than `count` left raises EReadError ("Stream read error").
  void Read(void* buffer, std::size_t count);
  TValueType ReadValue();
  // The code of the next value, not consumed.
  TValueType NextValue();
  // Each raises EReadError when the next value is of another kind or is cut short.
  std::int32_t ReadInteger();
  bool ReadBoolean();
  std::string ReadString();
  long double ReadFloat();
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList() { return NextValue() == TValueType::EndOfList; }
  // Bytes not yet consumed, buffered or still in the stream.
  std::int64_t BytesLeft() const;
  // Moves the stream back to the end of what was consumed and empties the buffer.
  void FlushBuffer();

private:
  void Expect(TValueType value, const char* what);
  std::size_t Buffered() const { return FEnd - FPos; }
  // Refills an empty buffer; false at the end of the stream.
  bool FillBuffer();

  TStream& FStream;
  std::vector<std::uint8_t> FBuffer;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
};

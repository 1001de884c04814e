#include "base/Filer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The 80-bit extended float is stored as the first 10 bytes of the x87 long double.
static_assert(std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10,
              "long double must be the x87 80-bit extended format");
constexpr std::size_t ExtendedSize = 10;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Code points of the bytes 0x80-0x9F in the Western Windows code page; the five
// unassigned bytes keep their own value, as the system's conversion does.
constexpr char16_t CodePage1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Utf8FromCodePage1252(const std::string& text) {
  if (IsAscii(text)) return text;
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    unsigned byte = static_cast<unsigned char>(c);
    unsigned code = byte >= 0x80 && byte < 0xA0 ? CodePage1252High[byte - 0x80] : byte;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::string ValueCodeText(TValueType value) { return std::to_string(static_cast<unsigned>(value)); }

}  // namespace

// ---------------------------------------------------------------------------
// TWriter

TWriter::TWriter(TStream& stream, std::size_t bufferSize) : FStream(stream), FBuffer(std::max<std::size_t>(bufferSize, 16)) {}

TWriter::~TWriter() {
  try {
    FlushBuffer();
  } catch (...) {
    // A destructor cannot raise: the stream's error, whatever its kind, is lost.
  }
}

void TWriter::FlushBuffer() {
  std::size_t used = FUsed;
  FUsed = 0;
  FStream.WriteBuffer(FBuffer.data(), used);
}

void TWriter::Write(const void* buffer, std::size_t count) {
  if (count > FBuffer.size() - FUsed) {
    FlushBuffer();
    if (count >= FBuffer.size()) {
      FStream.WriteBuffer(buffer, count);
      return;
    }
  }
  if (count == 0) return;
  std::memcpy(FBuffer.data() + FUsed, buffer, count);
  FUsed += count;
}

void TWriter::WriteValue(TValueType value) {
  std::uint8_t code = static_cast<std::uint8_t>(value);
  Write(&code, 1);
}

void TWriter::WriteInteger(std::int32_t value) {
  std::uint8_t bytes[5];
  std::size_t size;
  if (value >= -128 && value <= 127) {
    bytes[0] = static_cast<std::uint8_t>(TValueType::Int8);
    size = 1;
  } else if (value >= -32768 && value <= 32767) {
    bytes[0] = static_cast<std::uint8_t>(TValueType::Int16);
    size = 2;
  } else {
    bytes[0] = static_cast<std::uint8_t>(TValueType::Int32);
    size = 4;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < size; ++i) bytes[1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Write(bytes, 1 + size);
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? TValueType::True : TValueType::False); }

void TWriter::WriteString(std::string_view value) {
  if (value.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EWriteError("String of " + std::to_string(value.size()) + " bytes is too long for the stream");
  bool ascii = IsAscii(value);
  if (ascii && value.size() <= 255) {
    std::uint8_t head[2] = {static_cast<std::uint8_t>(TValueType::String), static_cast<std::uint8_t>(value.size())};
    Write(head, 2);
  } else {
    std::uint32_t size = static_cast<std::uint32_t>(value.size());
    std::uint8_t head[5] = {static_cast<std::uint8_t>(ascii ? TValueType::LongString : TValueType::Utf8String),
                            static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                            static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)};
    Write(head, 5);
  }
  Write(value.data(), value.size());
}

void TWriter::WriteFloat(long double value) {
  std::uint8_t bytes[1 + ExtendedSize];
  bytes[0] = static_cast<std::uint8_t>(TValueType::Extended);
  std::memcpy(bytes + 1, &value, ExtendedSize);
  Write(bytes, sizeof bytes);
}

// ---------------------------------------------------------------------------
// TReader

TReader::TReader(TStream& stream, std::size_t bufferSize) : FStream(stream), FBuffer(std::max<std::size_t>(bufferSize, 16)) {}

TReader::~TReader() {
  try {
    FlushBuffer();
  } catch (...) {
    // A stream that cannot seek back keeps its position past the read-ahead.
  }
}

bool TReader::FillBuffer() {
  FPos = 0;
  FEnd = FStream.Read(FBuffer.data(), FBuffer.size());
  return FEnd > 0;
}

void TReader::FlushBuffer() {
  std::size_t unread = Buffered();
  FPos = FEnd = 0;
  if (unread > 0) FStream.Seek(-static_cast<std::int64_t>(unread), TSeekOrigin::Current);
}

std::int64_t TReader::BytesLeft() const { return static_cast<std::int64_t>(Buffered()) + FStream.BytesLeft(); }

void TReader::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    if (Buffered() == 0) {
      if (count >= FBuffer.size()) {
        FStream.ReadBuffer(out, count);
        return;
      }
      if (!FillBuffer()) throw EReadError("Stream read error");
    }
    std::size_t n = std::min(count, Buffered());
    std::memcpy(out, FBuffer.data() + FPos, n);
    FPos += n;
    out += n;
    count -= n;
  }
}

TValueType TReader::ReadValue() {
  std::uint8_t code;
  Read(&code, 1);
  return static_cast<TValueType>(code);
}

TValueType TReader::NextValue() {
  if (Buffered() == 0 && !FillBuffer()) throw EReadError("Stream read error");
  return static_cast<TValueType>(FBuffer[FPos]);
}

void TReader::Expect(TValueType value, const char* what) {
  TValueType found = ReadValue();
  if (found != value) throw EReadError(std::string("Expected ") + what + " in the stream, found value code " + ValueCodeText(found));
}

std::int32_t TReader::ReadInteger() {
  TValueType value = ReadValue();
  std::size_t size = value == TValueType::Int8 ? 1 : value == TValueType::Int16 ? 2 : value == TValueType::Int32 ? 4 : 0;
  if (size == 0) throw EReadError("Expected an integer in the stream, found value code " + ValueCodeText(value));
  std::uint8_t bytes[4];
  Read(bytes, size);
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < size; ++i) bits |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  // Sign-extend from the stored width.
  std::uint32_t sign = 1u << (8 * size - 1);
  if (size < 4 && (bits & sign)) bits |= ~((sign << 1) - 1);
  return static_cast<std::int32_t>(bits);
}

bool TReader::ReadBoolean() {
  TValueType value = ReadValue();
  if (value != TValueType::False && value != TValueType::True)
    throw EReadError("Expected a boolean in the stream, found value code " + ValueCodeText(value));
  return value == TValueType::True;
}

std::string TReader::ReadString() {
  TValueType value = ReadValue();
  std::int64_t size;
  if (value == TValueType::String) {
    std::uint8_t length;
    Read(&length, 1);
    size = length;
  } else if (value == TValueType::LongString || value == TValueType::Utf8String) {
    std::uint8_t bytes[4];
    Read(bytes, 4);
    size = static_cast<std::int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24));
  } else {
    throw EReadError("Expected a string in the stream, found value code " + ValueCodeText(value));
  }
  if (size < 0 || size > BytesLeft())
    throw EReadError("String of " + std::to_string(size) + " bytes in a stream with " + std::to_string(BytesLeft()) +
                     " bytes left");
  std::string text(static_cast<std::size_t>(size), '\0');
  Read(text.data(), text.size());
  return value == TValueType::Utf8String ? text : Utf8FromCodePage1252(text);
}

long double TReader::ReadFloat() {
  Expect(TValueType::Extended, "a float");
  long double value = 0;
  Read(&value, ExtendedSize);
  return value;
}

void TReader::ReadListBegin() { Expect(TValueType::ListBegin, "a list begin"); }

void TReader::ReadListEnd() { Expect(TValueType::EndOfList, "a list end"); }

#include "db/statement_messages.h"

#include <ibase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace telvano::db::detail {

using namespace Firebird;

namespace {

constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kMaxVaryingBytes = 32765;

}  // namespace

void StatementMessages::Check(const std::string& context) { CheckStatus(m_util, m_status, m_connectionLost, context); }

void StatementMessages::BindParams(IStatement* statement, const std::vector<Param>& params, Message& message) {
  IMessageMetadata* described = statement->getInputMetadata(&m_status);
  Check();
  unsigned count = described->getCount(&m_status);
  if (count != params.size()) {
    described->release();
    throw DbError("the statement has " + std::to_string(count) + " parameters, " + std::to_string(params.size()) +
                  " were given");
  }
  IMetadataBuilder* builder = described->getBuilder(&m_status);
  described->release();
  Check();
  try {
    for (unsigned i = 0; i < count; ++i) DescribeParam(builder, i, params[i]);
  } catch (...) {
    builder->release();
    throw;
  }
  message.metadata = builder->getMetadata(&m_status);
  builder->release();
  Check();
  message.length = message.metadata->getMessageLength(&m_status);
  Check();
  message.buffer.reset(new unsigned char[message.length ? message.length : 1]());
  for (unsigned i = 0; i < count; ++i) {
    unsigned char* data = message.buffer.get() + message.metadata->getOffset(&m_status, i);
    auto* nullFlag = reinterpret_cast<short*>(message.buffer.get() + message.metadata->getNullOffset(&m_status, i));
    Check();
    *nullFlag = std::holds_alternative<std::nullptr_t>(params[i]) ? -1 : 0;
    FillParam(data, params[i]);
  }
}

void StatementMessages::DescribeParam(IMetadataBuilder* builder, unsigned index, const Param& param) {
  if (auto* text = std::get_if<std::string>(&param)) {
    if (text->size() > kMaxVaryingBytes) {
      throw DbError("a text parameter is longer than " + std::to_string(kMaxVaryingBytes) + " bytes");
    }
    builder->setType(&m_status, index, SQL_VARYING + 1);
    builder->setLength(&m_status, index, static_cast<unsigned>(std::max<std::size_t>(text->size(), 1)));
    builder->setCharSet(&m_status, index, kCharsetUtf8);
    builder->setScale(&m_status, index, 0);
  } else if (std::holds_alternative<std::int64_t>(param)) {
    builder->setType(&m_status, index, SQL_INT64 + 1);
    builder->setLength(&m_status, index, sizeof(std::int64_t));
    builder->setScale(&m_status, index, 0);
  } else if (auto* decimal = std::get_if<Decimal>(&param)) {
    builder->setType(&m_status, index, SQL_INT64 + 1);
    builder->setLength(&m_status, index, sizeof(std::int64_t));
    builder->setScale(&m_status, index, -decimal->scale);
  }
  // A null keeps the described type; only its null flag is set.
  Check();
}

void StatementMessages::FillParam(unsigned char* data, const Param& param) {
  if (auto* text = std::get_if<std::string>(&param)) {
    auto length = static_cast<unsigned short>(text->size());
    std::memcpy(data, &length, sizeof length);
    std::memcpy(data + sizeof length, text->data(), text->size());
  } else if (auto* integer = std::get_if<std::int64_t>(&param)) {
    std::memcpy(data, integer, sizeof *integer);
  } else if (auto* decimal = std::get_if<Decimal>(&param)) {
    std::memcpy(data, &decimal->units, sizeof decimal->units);
  }
}

// Asks for the output in forms we can read: integers and exact numbers as they are, everything that is
// neither number nor text (dates, times, booleans, big numbers) as text the database renders.
void StatementMessages::DescribeOutput(IStatement* statement, Message& message, std::vector<std::string>& names) {
  IMessageMetadata* described = statement->getOutputMetadata(&m_status);
  Check();
  unsigned count = described->getCount(&m_status);
  for (unsigned i = 0; i < count; ++i) {
    const char* alias = described->getAlias(&m_status, i);
    names.emplace_back(alias && *alias ? alias : described->getField(&m_status, i));
  }
  IMetadataBuilder* builder = described->getBuilder(&m_status);
  Check();
  for (unsigned i = 0; i < count; ++i) {
    unsigned type = described->getType(&m_status, i) & ~1u;
    switch (type) {
      case SQL_TEXT:
      case SQL_VARYING:
      case SQL_SHORT:
      case SQL_LONG:
      case SQL_INT64:
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_D_FLOAT:
      case SQL_BLOB:
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
      case SQL_TIMESTAMP:
        break;
      default:
        builder->setType(&m_status, i, SQL_VARYING + 1);
        builder->setLength(&m_status, i, 64 * 4);  // bytes: 64 characters of up to 4 bytes
        builder->setCharSet(&m_status, i, kCharsetUtf8);
        builder->setScale(&m_status, i, 0);
        break;
    }
  }
  described->release();
  message.metadata = builder->getMetadata(&m_status);
  builder->release();
  Check();
  message.length = message.metadata->getMessageLength(&m_status);
  message.buffer.reset(new unsigned char[message.length ? message.length : 1]());
  Check();
}

std::string StatementMessages::ReadBlob(ISC_QUAD* id) {
  IBlob* blob = m_attachment->openBlob(&m_status, m_transaction, id, 0, nullptr);
  Check("cannot read a blob");
  std::string text;
  char chunk[16384];
  for (;;) {
    unsigned got = 0;
    int result = blob->getSegment(&m_status, sizeof chunk, chunk, &got);
    if (result == IStatus::RESULT_OK || result == IStatus::RESULT_SEGMENT) {
      text.append(chunk, got);
      continue;
    }
    break;
  }
  if (Failed(m_status)) {
    DbError error = ErrorFrom(m_util, &m_status, "cannot read a blob");
    blob->release();
    throw error;
  }
  blob->close(&m_status);
  if (Failed(m_status)) blob->release();
  m_status.init();
  return text;
}

// Dates and times as ISO texts: "2024-03-01", "10:15:30" (with ".ffff" only when there are fractions).
std::string StatementMessages::DateText(ISC_DATE date) {
  unsigned year = 0, month = 0, day = 0;
  m_util->decodeDate(date, &year, &month, &day);
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
  return text;
}

std::string StatementMessages::TimeText(ISC_TIME time) {
  unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
  m_util->decodeTime(time, &hours, &minutes, &seconds, &fractions);
  char text[24];
  if (fractions)
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", hours, minutes, seconds, fractions);
  else
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", hours, minutes, seconds);
  return text;
}

Field StatementMessages::ReadField(const Message& message, unsigned index) {
  IMessageMetadata* metadata = message.metadata;
  const unsigned char* data = message.buffer.get() + metadata->getOffset(&m_status, index);
  short nullFlag;
  std::memcpy(&nullFlag, message.buffer.get() + metadata->getNullOffset(&m_status, index), sizeof nullFlag);
  if (nullFlag) return Field::Null();
  unsigned type = metadata->getType(&m_status, index) & ~1u;
  int scale = metadata->getScale(&m_status, index);
  unsigned length = metadata->getLength(&m_status, index);
  unsigned charset = metadata->getCharSet(&m_status, index);
  switch (type) {
    case SQL_TEXT: {
      std::string text(reinterpret_cast<const char*>(data), length);
      // CHAR pads with blanks; binary CHAR keeps every byte.
      if (charset != kCharsetOctets)
        while (!text.empty() && text.back() == ' ') text.pop_back();
      return Field::Text(std::move(text));
    }
    case SQL_VARYING: {
      unsigned short size;
      std::memcpy(&size, data, sizeof size);
      return Field::Text(std::string(reinterpret_cast<const char*>(data) + sizeof size, size));
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return ReadNumber(type, scale, data);
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP:
      return ReadMoment(type, data);
    case SQL_BLOB: {
      ISC_QUAD id;
      std::memcpy(&id, data, sizeof id);
      return Field::Text(ReadBlob(&id));
    }
    default:
      throw DbError("unsupported column type " + std::to_string(type));
  }
}

Field StatementMessages::ReadNumber(unsigned type, int scale, const unsigned char* data) {
  switch (type) {
    case SQL_SHORT: {
      std::int16_t value;
      std::memcpy(&value, data, sizeof value);
      return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
    }
    case SQL_LONG: {
      std::int32_t value;
      std::memcpy(&value, data, sizeof value);
      return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
    }
    case SQL_INT64: {
      std::int64_t value;
      std::memcpy(&value, data, sizeof value);
      return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
    }
    case SQL_FLOAT: {
      float value;
      std::memcpy(&value, data, sizeof value);
      return Field::Floating(value);
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
      double value;
      std::memcpy(&value, data, sizeof value);
      return Field::Floating(value);
    }
  }
  throw DbError("unsupported column type " + std::to_string(type));
}

Field StatementMessages::ReadMoment(unsigned type, const unsigned char* data) {
  switch (type) {
    case SQL_TYPE_DATE: {
      ISC_DATE date;
      std::memcpy(&date, data, sizeof date);
      return Field::Text(DateText(date));
    }
    case SQL_TYPE_TIME: {
      ISC_TIME time;
      std::memcpy(&time, data, sizeof time);
      return Field::Text(TimeText(time));
    }
    case SQL_TIMESTAMP: {
      ISC_TIMESTAMP stamp;
      std::memcpy(&stamp, data, sizeof stamp);
      return Field::Text(DateText(stamp.timestamp_date) + " " + TimeText(stamp.timestamp_time));
    }
  }
  throw DbError("unsupported column type " + std::to_string(type));
}

}  // namespace telvano::db::detail

#pragma once

// The bridge between this layer's values and Firebird's message buffers. Internal to the database room.
#include <firebird/Interface.h>

#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/firebird_status.h"

namespace telvano::db::detail {

// A message buffer laid out as Firebird's metadata describes it (offsets are aligned to the buffer start).
struct Message {
  Firebird::IMessageMetadata* metadata = nullptr;
  std::unique_ptr<unsigned char[]> buffer;
  unsigned length = 0;

  ~Message() { Release(metadata); }
};

// Fills a statement's input message from bound parameters and reads its output message as fields, for one
// statement in one transaction.
class StatementMessages {
 public:
  StatementMessages(Firebird::IUtil* util, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                    Firebird::CheckStatusWrapper& status, bool& connectionLost)
      : m_util(util),
        m_attachment(attachment),
        m_transaction(transaction),
        m_status(status),
        m_connectionLost(connectionLost) {}

  // Describes the parameters as the values we hold; the database converts them to the columns' types.
  void BindParams(Firebird::IStatement* statement, const std::vector<Param>& params, Message& message);
  // Asks for the output in forms we can read; `names` gets each column's alias (or name).
  void DescribeOutput(Firebird::IStatement* statement, Message& message, std::vector<std::string>& names);
  Field ReadField(const Message& message, unsigned index);

 private:
  void Check(const std::string& context = {});
  void DescribeParam(Firebird::IMetadataBuilder* builder, unsigned index, const Param& param);
  void FillParam(unsigned char* data, const Param& param);
  Field ReadNumber(unsigned type, int scale, const unsigned char* data);
  Field ReadMoment(unsigned type, const unsigned char* data);
  std::string ReadBlob(ISC_QUAD* id);
  std::string DateText(ISC_DATE date);
  std::string TimeText(ISC_TIME time);

  Firebird::IUtil* m_util;
  Firebird::IAttachment* m_attachment;
  Firebird::ITransaction* m_transaction;
  Firebird::CheckStatusWrapper& m_status;
  bool& m_connectionLost;
};

}  // namespace telvano::db::detail

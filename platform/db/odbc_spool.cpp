#include "platform/db/odbc_spool.h"

#include <cstring>

namespace veldrane::ado {

void OdbcSpool::Append(const char* data, SQLLEN length) {
  size_t bytes = length == SQL_NULL_DATA ? 0 : static_cast<size_t>(length);
  char* out = file_.Extend(sizeof length + bytes);
  std::memcpy(out, &length, sizeof length);
  if (bytes) std::memcpy(out + sizeof length, data, bytes);
  file_.Appended();
}

void OdbcSpool::StartReading() { file_.StartReading(); }

SQLLEN OdbcSpool::ReadValue(const char** data) {
  SQLLEN length = 0;
  std::memcpy(&length, file_.Take(sizeof length), sizeof length);
  size_t bytes = length == SQL_NULL_DATA ? 0 : static_cast<size_t>(length);
  *data = file_.Take(bytes);
  return length;
}

}  // namespace veldrane::ado

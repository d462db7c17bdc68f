// The byte store behind the streams' second readings: what goes in comes
// back in order, across the memory buffer and the file, read again from the
// start, and with bytes appended between readings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/vb_error.h"
#include "platform/db/spool_file.h"

namespace veldrane::ado {
namespace {

// Record `i`: a length byte and that many bytes of a pattern, so that a
// record read from the wrong place shows.
std::string Record(int i) {
  std::string r(static_cast<size_t>(1 + i % 200), '\0');
  r[0] = static_cast<char>(r.size() - 1);
  for (size_t k = 1; k < r.size(); ++k) r[k] = static_cast<char>('a' + (i + k) % 26);
  return r;
}

void Put(SpoolFile& file, int i) {
  std::string r = Record(i);
  std::memcpy(file.Extend(r.size()), r.data(), r.size());
  file.Appended();
}

// Reads records `from` to `to` (exclusive) and says which was first read wrong, or -1.
int FirstWrong(SpoolFile& file, int from, int to) {
  for (int i = from; i < to; ++i) {
    std::string want = Record(i);
    size_t n = static_cast<unsigned char>(*file.Take(1));
    std::string got(1, static_cast<char>(n));
    got.append(file.Take(n), n);
    if (got != want) return i;
  }
  return -1;
}

TEST(SpoolFile, BytesComeBackInOrderFromMemoryAndFileAndAgainFromTheStart) {
  SpoolFile file("SQLite");
  // About 2 MB: many times the part kept in memory before it goes to the file.
  constexpr int kRecords = 20000;
  for (int i = 0; i < kRecords / 2; ++i) Put(file, i);
  file.StartReading();
  EXPECT_EQ(FirstWrong(file, 0, 300), -1);
  // Appended while a reading is under way: read after what came before.
  for (int i = kRecords / 2; i < kRecords; ++i) Put(file, i);
  EXPECT_EQ(FirstWrong(file, 300, kRecords), -1);
  file.StartReading();
  EXPECT_EQ(FirstWrong(file, 0, kRecords), -1);
}

TEST(SpoolFile, ReadingPastTheEndIsADeviceError) {
  SpoolFile file("ODBC");
  Put(file, 3);
  file.StartReading();
  EXPECT_EQ(FirstWrong(file, 3, 4), -1);
  try {
    file.Take(1);
    FAIL() << "no error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 57);
    EXPECT_EQ(e.source(), "ODBC");
  }
}

}  // namespace
}  // namespace veldrane::ado

// Forward-only, read-only recordsets on a server cursor read their rows one
// at a time. What they give must be what a recordset read whole gives, and
// writes made while one is open (through its own connection or another one
// to the same file) must neither wait for it nor show up in its rows.
#include <gtest/gtest.h>

#include <chrono>

#include "core/object.h"
#include "platform/db/ado.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

class SqliteStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("stream.db");
    cn_ = Connect();
    cn_->Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT, AMOUNT REAL, WHEN_ DATETIME);"
                 "CREATE TABLE EMPTY_T (ID INTEGER);");
    cn_->BeginTrans();
    auto rs = Recordset::Create();
    rs->Open(Variant("SELECT * FROM T WHERE 1 = 2"), Variant(ObjectRef(cn_)), adOpenKeyset, adLockOptimistic);
    for (int i = 1; i <= kRows; ++i) {
      rs->AddNew();
      rs->GetFields().Item("ID").SetValue(Variant(int32_t{i}));
      rs->GetFields().Item("NAME").SetValue(i % 7 == 0 ? Variant::Null() : Variant("name " + std::to_string(i)));
      rs->GetFields().Item("AMOUNT").SetValue(Variant(i * 0.5));
      rs->GetFields().Item("WHEN_").SetValue(Variant::Date(45000.25 + i));
      rs->Update();
    }
    cn_->CommitTrans();
  }

  ConnectionRef Connect() {
    auto cn = Connection::Create();
    cn->Open("Provider=SQLite;Data Source=" + path_ + ";Mode=Create");
    return cn;
  }

  RecordsetRef Open(const std::string& sql, int32_t cursor, const ConnectionRef& cn) {
    auto rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(ObjectRef(cn)), cursor, adLockReadOnly);
    return rs;
  }

  // Every row as "id|name|amount|when", moving forward only.
  static std::vector<std::string> Lines(Recordset& rs) {
    std::vector<std::string> out;
    for (; !rs.IsEOF(); rs.MoveNext()) {
      std::string line;
      for (int32_t i = 0; i < rs.GetFields().Count(); ++i) {
        Variant v = rs.GetFields().Item(Variant(i)).Value();
        std::string text;
        if (v.IsNull()) {
          text = "<null>";
        } else if (v.IsArray()) {
          for (const Variant& b : v.AsArray()->items()) text += std::to_string(b.ToLong()) + ",";
        } else {
          text = v.ToString() + ":" + std::to_string(int(v.Type()));
        }
        line += (i ? "|" : "") + text;
      }
      out.push_back(line);
    }
    return out;
  }

  static constexpr int kRows = 700;  // more than one block of rows
  testing::TempDir dir_;
  std::string path_;
  ConnectionRef cn_;
};

TEST_F(SqliteStreamTest, StreamGivesWhatAWholeReadGives) {
  auto whole = Open("SELECT * FROM T ORDER BY ID", adOpenStatic, cn_);
  auto stream = Open("SELECT * FROM T ORDER BY ID", adOpenForwardOnly, cn_);
  EXPECT_EQ(whole->RecordCount(), kRows);
  EXPECT_EQ(stream->RecordCount(), -1);  // unknown before the end, as forward-only cursors say
  EXPECT_FALSE(stream->IsBOF());
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(stream->GetFields().Item(Variant(i)).Type(), whole->GetFields().Item(Variant(i)).Type());
  std::vector<std::string> expected = Lines(*whole);
  EXPECT_EQ(Lines(*stream), expected);
  EXPECT_TRUE(stream->IsEOF());
  EXPECT_EQ(Raised([&] { stream->MoveNext(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(stream->RecordCount(), kRows);  // known once the end was reached
  // MoveFirst gives the same rows again, even after they changed; moving
  // backwards is refused.
  cn_->Execute("UPDATE T SET NAME = 'changed'");
  stream->MoveFirst();
  EXPECT_EQ(Lines(*stream), expected);
  stream->MoveFirst();
  EXPECT_EQ(stream->GetFields().Item("ID").Value().ToLong(), 1);
  stream->MoveNext();
  EXPECT_EQ(Raised([&] { stream->MovePrevious(); }).number(), vberr::kNotAllowedInContext);
  EXPECT_EQ(Raised([&] { stream->MoveLast(); }).number(), vberr::kNotAllowedInContext);
  EXPECT_EQ(Raised([&] { stream->AddNew(); }).number(), vberr::kUpdateNotSupported);
  stream->Close();

  auto empty = Open("SELECT * FROM EMPTY_T", adOpenForwardOnly, cn_);
  EXPECT_TRUE(empty->IsBOF());
  EXPECT_TRUE(empty->IsEOF());
  EXPECT_EQ(Raised([&] { empty->GetFields().Item("ID").Value(); }).number(), vberr::kNoCurrentRecord);
}

TEST_F(SqliteStreamTest, WritesThroughTheSameConnectionDoNotShowInTheStream) {
  // Copying a table into itself while reading it: the stream must end after
  // the rows there were when it was opened.
  auto stream = Open("SELECT ID, NAME FROM T ORDER BY ID", adOpenForwardOnly, cn_);
  auto writer = Recordset::Create();
  writer->Open(Variant("SELECT * FROM T WHERE 1 = 2"), Variant(ObjectRef(cn_)), adOpenKeyset, adLockOptimistic);
  int read = 0;
  cn_->BeginTrans();
  for (; !stream->IsEOF(); stream->MoveNext()) {
    ++read;
    writer->AddNew();
    writer->GetFields().Item("ID").SetValue(Variant(int32_t{kRows + read}));
    writer->GetFields().Item("NAME").SetValue(stream->GetFields().Item("NAME").Value());
    writer->Update();
  }
  cn_->CommitTrans();
  EXPECT_EQ(read, kRows);
  EXPECT_EQ(cn_->Execute("SELECT COUNT(*) AS N FROM T")->GetFields().Item("N").Value().ToLong(), 2 * kRows);
}

TEST_F(SqliteStreamTest, AnotherConnectionToTheFileWritesWithoutWaiting) {
  auto stream = Open("SELECT ID FROM T ORDER BY ID", adOpenForwardOnly, cn_);
  stream->MoveNext();
  auto other = Connect();
  auto started = std::chrono::steady_clock::now();
  other->BeginTrans();
  other->Execute("DELETE FROM T WHERE ID > 10");
  other->CommitTrans();
  // The busy timeout is seconds long: a write that waited for the stream's
  // read lock would take that long, or fail.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  int read = 1;
  for (; !stream->IsEOF(); stream->MoveNext()) ++read;
  EXPECT_EQ(read, kRows);  // the rows of the moment the stream began
}

TEST_F(SqliteStreamTest, RowsReadAgainAfterAPartialReadAreTheSameRowsThenTheRest) {
  // Long texts, so that the rows kept for reading again pass through the file.
  cn_->Execute("CREATE TABLE LONGROWS (ID INTEGER PRIMARY KEY, BODY TEXT, DATA BLOB)");
  cn_->BeginTrans();
  for (int i = 1; i <= 3000; ++i) {
    cn_->Execute("INSERT INTO LONGROWS VALUES (" + std::to_string(i) + ", '" + std::string(100 + i % 50, 'a' + i % 26) +
                 "', x'00ff" + std::string(static_cast<size_t>(2 * (i % 5)), '7') + "')");
  }
  cn_->CommitTrans();
  auto whole = Open("SELECT * FROM LONGROWS ORDER BY ID", adOpenStatic, cn_);
  std::vector<std::string> expected = Lines(*whole);
  auto stream = Open("SELECT * FROM LONGROWS ORDER BY ID", adOpenForwardOnly, cn_);
  for (int i = 0; i < 2000; ++i) stream->MoveNext();
  stream->MoveFirst();
  EXPECT_EQ(Lines(*stream), expected);
  // Read to the middle, a write through the same connection reads the rest
  // ahead; reading again still gives every row once, in order.
  stream->MoveFirst();
  for (int i = 0; i < 1000; ++i) stream->MoveNext();
  cn_->Execute("DELETE FROM LONGROWS");
  std::vector<std::string> rest = Lines(*stream);
  EXPECT_EQ(rest, std::vector<std::string>(expected.begin() + 1000, expected.end()));
  stream->MoveFirst();
  EXPECT_EQ(Lines(*stream), expected);
}

TEST_F(SqliteStreamTest, AFailureInTheMiddleEndsTheRowsAtEveryReading) {
  // The third row cannot be read: SQLite fails while stepping to it.
  cn_->Execute("CREATE TABLE J (ID INTEGER PRIMARY KEY, V INTEGER, DOC TEXT);"
               "INSERT INTO J VALUES (1, 1, '{\"a\":1}'), (2, 2, '{\"a\":2}'), (3, 3, '{bad'), (4, 4, '{\"a\":4}')");
  auto stream = Open("SELECT ID, V FROM J WHERE json_valid(DOC) OR json_extract(DOC, '$.a') IS NULL ORDER BY ID",
                     adOpenForwardOnly, cn_);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(stream->GetFields().Item("V").Value().ToLong(), 1);
    stream->MoveNext();
    EXPECT_EQ(stream->GetFields().Item("V").Value().ToLong(), 2);
    VbError error = Raised([&] { stream->MoveNext(); });
    EXPECT_NE(error.description().find("malformed JSON"), std::string::npos) << error.description();
    EXPECT_TRUE(stream->IsEOF());
    stream->MoveFirst();  // the same two rows, then the same failure: never a quiet end
  }
}

TEST_F(SqliteStreamTest, StreamOutlivesItsConnectionsClose) {
  auto stream = Open("SELECT ID FROM T ORDER BY ID", adOpenForwardOnly, cn_);
  stream->MoveNext();
  cn_->Close();
  int read = 1;
  for (; !stream->IsEOF(); stream->MoveNext()) ++read;
  EXPECT_EQ(read, kRows);
}

}  // namespace
}  // namespace veldrane::ado

#include "model/c_shape.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "model/tests/model_test_support.h"
#include "platform/db/ado.h"

namespace veldrane {
namespace {

using testing_support::ErrorOf;

// A step whose connection is open on a fresh SQLite file with one table.
class DebugModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "c_shape_test_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    step_ = std::make_shared<cShape>();
    step_->cnSource()->Open("Provider=SQLite;Data Source=" + (dir_ / "t.db").string() + ";Mode=Create");
    step_->cnSource()->Execute("CREATE TABLE T (ID INTEGER)");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int32_t Rows() {
    return step_->cnSource()->Execute("SELECT COUNT(*) AS N FROM T")->GetFields().Item(Variant(0)).Value().ToLong();
  }

  std::filesystem::path dir_;
  std::shared_ptr<cShape> step_;
};

TEST_F(DebugModeTest, SwitchingOffRollsBackWhatWasWritten) {
  step_->DebugMode(true);
  EXPECT_TRUE(step_->DebugMode());
  step_->cnSource()->Execute("INSERT INTO T VALUES (1)");
  EXPECT_EQ(Rows(), 1);
  step_->DebugMode(false);
  EXPECT_FALSE(step_->DebugMode());
  EXPECT_EQ(Rows(), 0);
}

TEST_F(DebugModeTest, SettingTheSameValueBeginsNoSecondTransaction) {
  step_->DebugMode(true);
  step_->cnSource()->Execute("INSERT INTO T VALUES (1)");
  step_->DebugMode(true);  // a second BeginTrans would nest, and the roll-back keep row 1
  step_->cnSource()->Execute("INSERT INTO T VALUES (2)");
  step_->DebugMode(false);
  EXPECT_EQ(Rows(), 0);
  // Switching off again, or on a step never switched on, touches nothing.
  EXPECT_EQ(ErrorOf([&] { step_->DebugMode(false); }), 0);
  step_->cnSource()->Execute("INSERT INTO T VALUES (3)");
  EXPECT_EQ(Rows(), 1);
}

TEST(cShape, DebugModeOnAClosedConnectionFailsAndKeepsTheFlag) {
  cShape step;
  EXPECT_NE(ErrorOf([&] { step.DebugMode(true); }), 0);
  EXPECT_FALSE(step.DebugMode());
  EXPECT_EQ(ErrorOf([&] { step.DebugMode(false); }), 0);  // never switched on: nothing to roll back
}

TEST(cShape, ConnectionIsCreatedOnceAndCanBeShared) {
  cShape a, b;
  auto first = a.cnSource();
  ASSERT_TRUE(first);
  EXPECT_EQ(a.cnSource(), first);
  EXPECT_EQ(first->State(), 0);
  b.cnSource(first);
  EXPECT_EQ(b.cnSource(), first);
}

}  // namespace
}  // namespace veldrane

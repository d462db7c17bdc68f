// The sample end to end: the seed program makes the databases, the four
// example documents run one after the other as the sample script runs them,
// each succeeding, and the warehouse ends up holding what they wrote.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/tests/cli_harness.h"

namespace veldrane::cli::test {
namespace {

TEST(Sample, SeedThenEveryExampleRunsCleanly) {
  TempDir dir;
  std::string examples = std::string(VELDRANE_SOURCE_PATH) + "/examples";
  const char* documents[] = {"customers_upsert", "lookup_then_write", "delete_orders", "decision_flow"};
  for (const char* doc : documents) {
    std::filesystem::copy_file(examples + "/" + doc + ".xml", dir / (std::string(doc) + ".xml"));
  }
  CliResult seed = RunProgram(VELDRANE_MAKE_SAMPLE_PATH, {"--customers", "300", "--orders", "900", dir / "data"}, dir.path());
  ASSERT_EQ(seed.status, 0) << seed.err;
  std::string crm = dir / "data/crm.db", warehouse = dir / "data/warehouse.db";
  int32_t cancelled = Scalar(crm, "SELECT COUNT(*) FROM ORDERS WHERE STATUS = 'CANCELLED'").ToLong();
  ASSERT_GT(cancelled, 0);
  ASSERT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM ORDER_FACTS").ToLong(), cancelled);

  // Started from elsewhere: relative Data Source paths follow the document.
  for (const char* doc : documents) {
    CliResult run = RunCli({"run", dir / (std::string(doc) + ".xml")}, dir / "home");
    EXPECT_EQ(run.status, 0) << doc << "\n" << run.out << run.err;
  }
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM CLIENTS").ToLong(), 300);
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM CLIENTS WHERE NAME <> UPPER(TRIM(NAME))").ToLong(), 0);
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM ORDER_FACTS").ToLong(), 900 - cancelled);
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM ORDER_FACTS WHERE CLIENT_NAME IS NULL").ToLong(), 0);
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM REVIEWED_ORDERS").ToLong(), 900);

  // Seeding again starts afresh, with the same rows.
  std::string first_name = Scalar(crm, "SELECT NAME FROM CUSTOMERS WHERE CUSTNO = 17").ToString();
  ASSERT_EQ(RunProgram(VELDRANE_MAKE_SAMPLE_PATH, {"--customers", "300", "--orders", "900", dir / "data"}, dir.path()).status, 0);
  EXPECT_EQ(Scalar(warehouse, "SELECT COUNT(*) FROM CLIENTS").ToLong(), 0);
  EXPECT_EQ(Scalar(crm, "SELECT NAME FROM CUSTOMERS WHERE CUSTNO = 17").ToString(), first_name);
  EXPECT_EQ(RunProgram(VELDRANE_MAKE_SAMPLE_PATH, {"--orders", "x", dir / "data"}, dir.path()).status, 2);
}

}  // namespace
}  // namespace veldrane::cli::test

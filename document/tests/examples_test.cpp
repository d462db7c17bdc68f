// The example documents under examples/ load without error, hold what the
// other areas rely on, and survive a save and a second load unchanged.
#include <gtest/gtest.h>

#include <cstdlib>

#include "document/tests/document_test_support.h"

namespace veldrane {
namespace {

using testing::FormulasOf;
using testing::LinksOf;
using testing::PayloadsOf;
using testing::StepsOf;
using testing::TempFolder;

std::string Example(const std::string& name) {
  const char* source = std::getenv("VELDRANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/examples/" + name;
}

const tStorage& Target(clsProcess& p, const std::string& caption) {
  for (const std::shared_ptr<cShape>& s : *p.Shapes()->Collection()) {
    if (s->sCaption() == caption) return std::get<tStorage>(s->objElements);
  }
  throw std::runtime_error("no step " + caption);
}

class ExampleDocument : public ::testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Examples, ExampleDocument,
                         ::testing::Values("customers_upsert.xml", "lookup_then_write.xml", "delete_orders.xml",
                                           "decision_flow.xml", "customers_to_mariadb.xml"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST_P(ExampleDocument, LoadsAndSavesBackTheSameFlow) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(Example(GetParam())), "");
  EXPECT_EQ(p.Shapes()->Collection()->Item(1)->objType, aStart);
  for (const std::shared_ptr<cShape>& s : *p.Shapes()->Collection()) {
    if (const auto* source = std::get_if<tData>(&s->objElements)) {
      EXPECT_NE(source->connString, "");
    }
    if (const auto* target = std::get_if<tStorage>(&s->objElements)) {
      EXPECT_NE(target->connString, "");
    }
  }

  TempFolder folder;
  p.SaveIntegration(folder.File("copy.xml"));
  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(folder.File("copy.xml")), "");
  EXPECT_EQ(StepsOf(again), StepsOf(p));
  EXPECT_EQ(LinksOf(again), LinksOf(p));
  EXPECT_EQ(PayloadsOf(again), PayloadsOf(p));
  EXPECT_EQ(FormulasOf(again), FormulasOf(p));
}

TEST(Examples, CustomersUpsertKeysOnCustnoAndMapsAFormula) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(Example("customers_upsert.xml")), "");
  const tStorage& target = Target(p, "TARGET");
  EXPECT_EQ(target.shpOperation, "UpdateInsert");
  EXPECT_EQ(target.fields->Item("CUSTNO").f_lookup, "SOURCE(\"CUSTNO\")");
  EXPECT_EQ(target.fields->Item("NAME").f_value, "FORMULA!ClientName");
  EXPECT_EQ(p.Formulas()->Collection()->Item("clientname").formula,
            "Function Main\n  Main = UCase(Trim(SOURCE(\"NAME\")))\nEnd Function");
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>2 ", "2>3 ", "3>4 "}));
}

TEST(Examples, LookupFeedsTheLaterTarget) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(Example("lookup_then_write.xml")), "");
  EXPECT_EQ(Target(p, "CLIENT").shpOperation, "Lookup");
  EXPECT_EQ(Target(p, "FACTS").fields->Item("CLIENT_NAME").f_value, "CLIENT([NAME])");
}

TEST(Examples, DecisionIsPassedAlongItsFirstLink) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(Example("decision_flow.xml")), "");
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>2 ", "2>3 ", "3>4 Yes", "3>5 No", "4>5 "}));
  EXPECT_EQ(std::get<tDecission>(p.Shapes()->Collection()->Item("k3")->objElements).condition,
            "SOURCE(\"AMOUNT\") > 100");
  EXPECT_EQ(Target(p, "TARGET").shpOperation, "Insert");
}

TEST(Examples, DeleteOrdersDeletesByOrderNumber) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(Example("delete_orders.xml")), "");
  EXPECT_EQ(Target(p, "TARGET").shpOperation, "Delete");
  EXPECT_EQ(Target(p, "TARGET").fields->Item("ORDERNO").f_lookup, "SOURCE(\"ORDERNO\")");
}

}  // namespace
}  // namespace veldrane

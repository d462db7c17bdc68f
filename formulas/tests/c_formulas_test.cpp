#include "formulas/c_formulas.h"

#include <gtest/gtest.h>

#include <vector>

namespace veldrane {
namespace {

struct Refusals {
  std::vector<std::string> texts;
  explicit Refusals(cFormulas& f) {
    f.Error.connect([this](const std::string& s) { texts.push_back(s); });
  }
};

TEST(cFormulas, NamesThatDifferOnlyInCaseAreOneFormula) {
  cFormulas formulas;
  Refusals refusals(formulas);
  EXPECT_TRUE(formulas.AddFormula("Total", "Function Main\r\n  Main = 1\r\nEnd Function").IsEmpty());
  EXPECT_TRUE(formulas.AddFormula("TOTAL", "Function Main\r\n  Main = 2\r\nEnd Function").IsEmpty());
  EXPECT_EQ(formulas.Count(), 1);
  ASSERT_EQ(refusals.texts.size(), 1u);
  EXPECT_EQ(refusals.texts[0], VbError::DuplicateKey().description());
  // Fetched by any case, the first one stays.
  EXPECT_EQ(formulas.Collection()->Item("total").formula, "Function Main\r\n  Main = 1\r\nEnd Function");
  EXPECT_EQ(formulas.Collection()->Item("TOTAL").name, "Total");
}

TEST(cFormulas, KeepsOrderAndSharesTheLiveCollection) {
  cFormulas formulas;
  Refusals refusals(formulas);
  formulas.AddFormula("B", "b");
  formulas.AddFormula("A", "a");
  formulas.AddFormula("C", "c");
  EXPECT_TRUE(refusals.texts.empty());
  auto collection = formulas.Collection();
  EXPECT_EQ(collection->Item(1).name, "B");
  EXPECT_EQ(collection->Item(3).name, "C");
  // Removal goes through the collection itself, and frees the name.
  collection->Remove("a");
  EXPECT_EQ(formulas.Count(), 2);
  formulas.AddFormula("a", "again");
  EXPECT_EQ(formulas.Collection()->Item(3).formula, "again");
  EXPECT_TRUE(refusals.texts.empty());
}

TEST(cFormulas, AnEmptyNameIsRefused) {
  cFormulas formulas;
  Refusals refusals(formulas);
  formulas.AddFormula("", "x");
  EXPECT_EQ(formulas.Count(), 0);
  EXPECT_EQ(refusals.texts.size(), 1u);
}

}  // namespace
}  // namespace veldrane

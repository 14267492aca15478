#include "support/support_module.h"

#include <gtest/gtest.h>

#include "support/dictionary.h"

namespace tessaline {
namespace {

TEST(SupportModuleTest, StartupCreatesTheTwoPagesAndShutdownClearsThem) {
  SupportStartup();
  ASSERT_NE(Dict, nullptr);
  EXPECT_EQ(Dict->Count(), 2);
  EXPECT_EQ(CommonPage, Dict->GetPage("common"));
  EXPECT_EQ(MessagePage, Dict->GetPage("MESSAGE"));
  EXPECT_FALSE(CommonPage->Loaded);
  EXPECT_EQ(Dict->FileName, "");
  TDictionary* first = Dict;
  SupportStartup();
  EXPECT_EQ(Dict, first);
  SupportShutdown();
  EXPECT_EQ(Dict, nullptr);
  EXPECT_EQ(CommonPage, nullptr);
  EXPECT_EQ(MessagePage, nullptr);
  SupportShutdown();
}

TEST(SupportModuleTest, CommonComesFirstThenMessage) {
  SupportStartup();
  ASSERT_EQ(Dict->Count(), 2);
  EXPECT_EQ(Dict->Strings(0), "Common");
  EXPECT_EQ(Dict->Strings(1), "Message");
  EXPECT_EQ(Dict->Objects(0), CommonPage);
  EXPECT_EQ(Dict->Objects(1), MessagePage);
  EXPECT_EQ(CommonPage->PageName, "Common");
  EXPECT_EQ(MessagePage->PageName, "Message");
  EXPECT_EQ(CommonPage->Dictionary, Dict);
  EXPECT_FALSE(MessagePage->Loaded);
  EXPECT_FALSE(Dict->ExplicitName);
  SupportShutdown();
}

}  // namespace
}  // namespace tessaline

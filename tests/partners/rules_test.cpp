// The partner register's plain rules: the code as a number, the search by name
// fragment, and the ANALIT registration row over the real table.
#include <gtest/gtest.h>

#include "fixture.h"

namespace zelk::test {
namespace {

using review::partnerCodeNumber;

TEST(PartnerCode, IsReadAsADecimalNumber) {
  struct Case {
    const char* code;
    std::int32_t number;
  } cases[] = {
      {"000123", 123}, {"12A456", 12},    {"A12345", 0},   {" 77", 77},      {"070000", 70000},
      {"000042", 42},  {"1 2", 1},        {"", 0},         {"      ", 0},    {"999999", 999999},
      {"065536", 65536}, {"-00012", -12}, {"+00012", 0},   {"12.9", 12},     {"12,9", 12},
      {"-1.5", -1},    {"1e3", 1000},     {"9e9", 0},      {"99e999", 0},    {"\t\n42", 42},
  };
  for (const Case& c : cases) EXPECT_EQ(partnerCodeNumber(c.code), c.number) << '"' << c.code << '"';
}

// A code names its partner in a posting when the posting that picks the partner
// stores that same code: six digits, not all zero.
TEST(PartnerCode, NamesItsPartnerOnlyInTheSixDigitFormThePostingStores) {
  struct Case {
    const char* code;
    bool names;
  } cases[] = {
      {"000042", true}, {"070000", true},  {"999999", true},  {"000001", true},  {"42    ", false},
      {"42", false},    {" 77", false},    {"12A456", false}, {"-00012", false}, {"A12345", false},
      {"000000", false}, {"      ", false}, {"+00012", false}, {"00012 ", false}, {"1e3   ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(review::codeNamesPartner(c.code), c.names) << '"' << c.code << '"';
}

TEST(PartnerSearch, LooksForTheFragmentAsTypedInTheLowerCasedNames) {
  const fw::CaseTables latin;
  const fw::CaseTables cyrillic =
      fw::CaseTables::parse(readAll(std::string(ZELK_SOURCE_DIR) + "/app/" + fw::kCaseTablesFile));
  ASSERT_GT(cyrillic.pairs(), 0);
  struct Case {
    const char* fragment;
    const char* orgName;
    const char* shortName;
    bool withLatin, withCyrillic;  // found by the tables of A-Z, and of "qvt.env"
  } cases[] = {
      {"", "Anything", "", true, true},
      {"   ", "Anything", "", true, true},
      {"bank", "BANK of Tests", "", true, true},   // the names are lower-cased
      {"BANK", "BANK of Tests", "", false, false},  // the fragment is not
      {"loko", "Other", "LOKO-Bank", true, true},  // the short name is tried too
      {"tests", "Bank of Tests   ", "", true, true},  // trailing blanks of the name go
      {"tests ", "Bank of Tests", "", true, true},    // and of the fragment
      {" of", "Bank of Tests", "", true, true},       // a leading blank counts
      {" bank", "Bank of Tests", "", false, false},
      {"ромашка", "ООО \"РОМАШКА\"", "", false, true},  // Cyrillic capitals fold with the file only
      {"ромашка", "ООО \"ромашка\"", "", true, true},
      {"РОМАШКА", "ООО \"РОМАШКА\"", "", true, false},  // unfolded capitals meet as typed
      {"ип ", "Иванов Иван", "ИП Иванов", false, true},
      {"zzz", "Bank of Tests", "Bank", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.fragment + "\" in \"" + c.orgName + "\" / \"" + c.shortName + "\"");
    const std::string f = ansi(c.fragment), o = ansi(c.orgName), s = ansi(c.shortName);
    EXPECT_EQ(review::partnerMatches(f, o, s, latin), c.withLatin);
    EXPECT_EQ(review::partnerMatches(f, o, s, cyrillic), c.withCyrillic);
  }
}

TEST(AnalitAccount, FollowsTheSideWhoseAccountIsFilled) {
  auto side = [](std::string_view dt, std::string_view kt) {
    auto a = review::analitAccount(dt, kt);
    return a ? std::string(trimRight(a->account)) + "/" + std::to_string(a->crc) : std::string("none");
  };
  EXPECT_EQ(side("60.1      ", "          "), "60.1/555");
  EXPECT_EQ(side("", "62"), "62/333");
  EXPECT_EQ(side("", ""), "none");
  EXPECT_EQ(side("   ", "  "), "none");
  EXPECT_EQ(side("60", "62"), "none");
}

TEST(AnalitRow, CarriesTheAccountTheCodeAndTheShortNameOnly) {
  dict::ParRecord p;
  p.FLD_CODE = "000777";
  p.SHORTNAME = ansi("Ромашка");
  p.ORGNAME = ansi("ООО Ромашка");
  dict::AnaRecord r = review::analitRow({"60.1", review::kDebitCrc}, p);
  EXPECT_EQ(r.SCHET.str(), "60.1");
  EXPECT_EQ(r.FLD_CODE.str(), "000777");
  EXPECT_EQ(r.NAME.str(), ansi("Ромашка"));
  EXPECT_EQ(static_cast<std::int64_t>(r.CRC), 555);
  EXPECT_EQ(r.ID_ST.get(), 1);
  EXPECT_TRUE(r.KEY.blank());
  EXPECT_TRUE(r.USER_CODE.blank());
  EXPECT_EQ(static_cast<std::int64_t>(r.NNOPER), 0);
  EXPECT_EQ(r.GRUP_SCHET.get(), 0);
}

// Over the real table, on both back ends.
class RegistrationTest : public PartnersTest {
 protected:
  void SetUp() override {
    PartnersTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(dict::Relate::ANALIT->Open(), 0);
    partner.FLD_CODE = "000123";
    partner.SHORTNAME = ansi("Ромашка");
    partner.ORGNAME = ansi("ООО «Ромашка»");
  }
  void TearDown() override {
    if (!IsSkipped()) dict::Relate::ANALIT->Close();
    PartnersTest::TearDown();
  }
  dict::ParRecord partner;
};
INSTANTIATE_TEST_SUITE_P(Backends, RegistrationTest, ::testing::ValuesIn(kBackends), backendName);

TEST_P(RegistrationTest, AddsOneRowForTheSideWhoseAccountIsFilled) {
  EXPECT_EQ(review::registerPartner(partner, "60.1", ""), 0);
  partner.FLD_CODE = "000124";
  EXPECT_EQ(review::registerPartner(partner, "", "62"), 0);
  EXPECT_EQ(registrationsOnDisk(), (std::vector<Registration>{registration("60.1", "000123", "Ромашка", 555),
                                                              registration("62", "000124", "Ромашка", 333)}));
}

TEST_P(RegistrationTest, AddsNothingWithoutExactlyOneAccount) {
  EXPECT_EQ(review::registerPartner(partner, "", ""), 0);
  EXPECT_EQ(review::registerPartner(partner, "60", "62"), 0);
  EXPECT_TRUE(registrationsOnDisk().empty());
}

TEST_P(RegistrationTest, ARowAlreadyRegisteredIsRefusedAsADuplicate) {
  addRegistration("60.1", "000123");
  EXPECT_EQ(review::registerPartner(partner, "60.1", ""), storage::kDuplicateKey);
  ASSERT_EQ(registrationsOnDisk().size(), 1u);
  EXPECT_EQ(registrationsOnDisk()[0].crc, 0);  // the row that stood
}

}  // namespace
}  // namespace zelk::test

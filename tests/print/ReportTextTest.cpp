// The report's texts that need no database: amounts, titles, template choice and the rule
// that keeps or narrows the split-amount columns.
#include "print/untReportFill.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

struct AmountCase {
    double value;
    const char* text;
};

class AmountFormatTest : public ::testing::TestWithParam<AmountCase> {};

TEST_P(AmountFormatTest, CommaGroupsPointDecimals)
{
    const AmountCase& c = GetParam();
    EXPECT_EQ(FormatAmount(c.value, QLocale(QLocale::English, QLocale::UnitedStates)).toStdString(), c.text)
        << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, AmountFormatTest,
    ::testing::Values(AmountCase{12345.5, "12,345.50"}, AmountCase{0.5, "0.50"}, AmountCase{-1234, "-1,234.00"},
                      AmountCase{0, "0.00"}, AmountCase{0.001, "0.00"}, AmountCase{0.005, "0.01"},
                      AmountCase{0.004999, "0.00"}, AmountCase{1.005, "1.01"}, AmountCase{2.675, "2.68"},
                      AmountCase{-2.675, "-2.68"}, AmountCase{-0.004, "0.00"}, AmountCase{999.995, "1,000.00"},
                      AmountCase{999999.999, "1,000,000.00"}, AmountCase{100, "100.00"},
                      AmountCase{1000, "1,000.00"}, AmountCase{123456789.126, "123,456,789.13"},
                      AmountCase{1e15, "1,000,000,000,000,000.00"}, AmountCase{0.125, "0.13"},
                      AmountCase{12.3, "12.30"}, AmountCase{1234567.891, "1,234,567.89"}));

// Whole cents, as money mostly is, and the doubles on either side of them: the digits of
// the integer, grouped by hand.
TEST(AmountFormatWholeCents, EveryMagnitudeReadsAsItsCents)
{
    std::mt19937_64 random(20261208);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (int i = 0; i < 20000; ++i) {
        const quint64 cents = random() % (quint64(1) << (i % 47));   // 0 up to about 1.4e14
        const std::string integers = std::to_string(cents / 100);
        std::string expected;
        for (size_t k = 0; k < integers.size(); ++k) {
            if (k > 0 && (integers.size() - k) % 3 == 0)
                expected += ',';
            expected += integers[k];
        }
        expected += '.' + std::to_string(cents % 100 / 10) + std::to_string(cents % 10);
        const double value = double(cents) / 100;
        for (const double v : {value, std::nextafter(value, 0.0), std::nextafter(value, 1e300)}) {
            SCOPED_TRACE(cents);
            EXPECT_EQ(FormatAmount(v, english).toStdString(), expected);
            EXPECT_EQ(FormatAmount(-v, english).toStdString(), (cents ? "-" : "") + expected);
        }
    }
}

TEST(AmountFormatLocale, UsesTheLocaleSeparators)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatAmount(12345.5, german), "12" + german.groupSeparator() + "345" + german.decimalPoint() + "50");
    EXPECT_EQ(german.decimalPoint(), ",");
    const QLocale french(QLocale::French, QLocale::France);
    EXPECT_EQ(FormatAmount(-1234567.25, french),
              "-1" + french.groupSeparator() + "234" + french.groupSeparator() + "567" + french.decimalPoint() + "25");
    EXPECT_EQ(FormatAmount(0.5, QLocale(QLocale::Chinese, QLocale::China)), "0.50");
}

TEST(AmountFormatLocale, DefaultIsTheSystemLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatAmount(1234.5), FormatAmount(1234.5, QLocale::system()));
    QLocale::setDefault(saved);
}

struct TitleCase {
    const char* unit;
    int year;
    const char* typeText;
    const char* fund;
    const char* title;
    const char* subTitle;
};

class TitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleTest, TitleAndSubtitle)
{
    const TitleCase& c = GetParam();
    TReportSelection s;
    s.FUnitName = QString::fromUtf8(c.unit);
    s.Year = c.year;
    s.BTypeText = QString::fromUtf8(c.typeText);
    s.FundCode = QString::fromUtf8(c.fund);
    BuildTitles(s);
    EXPECT_EQ(s.FTitle.toStdString(), c.title);
    EXPECT_EQ(s.FSubTitle.toStdString(), c.subTitle);
}

INSTANTIATE_TEST_SUITE_P(
    Funds, TitleTest,
    ::testing::Values(
        TitleCase{"教育局", 2026, "预算数", "11", "教育局2026年国库集中支付改革一般预算资金指标表", "（按部门预算数核定）"},
        TitleCase{"教育局", 2026, "控制数", "12", "教育局2026年国库集中支付改革政府性基金指标表", "（按部门控制数核定）"},
        TitleCase{"卫生局", 2025, "临时指标", "21", "卫生局2025年国库集中支付改革财政专户管理资金指标表",
                  "（按部门临时指标核定）"},
        TitleCase{"国资委", 2026, "预算数", "31", "国资委2026年国库集中支付改革国有资本经营预算资金指标表",
                  "（按部门预算数核定）"},
        TitleCase{"教育局", 2026, "预算数", "", "教育局2026年国库集中支付改革指标表", "（按部门预算数核定）"},
        TitleCase{"教育局", 2026, "预算数", "99", "教育局2026年国库集中支付改革指标表", "（按部门预算数核定）"},
        TitleCase{"", 2026, "", "11", "2026年国库集中支付改革一般预算资金指标表", "（按部门核定）"}));

TEST(TemplateChoice, StateCapitalHasItsOwnTemplate)
{
    EXPECT_EQ(TemplateFileName("31"), "指标明细表_国有资本cll5.cll");
    for (const char* code : {"11", "12", "21", "", "3", "310"})
        EXPECT_EQ(TemplateFileName(code), "指标明细表_非国有资本cll5.cll") << code;
}

struct WidthCase {
    const char* fund;
    bool deptLogin;
    const char* prefix;
    const char* login;
    bool keep;
};

class WidthRuleTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(WidthRuleTest, KeepsOrNarrows)
{
    const WidthCase& c = GetParam();
    EXPECT_EQ(KeepTemplateWidths(c.fund, c.deptLogin, c.prefix, c.login), c.keep)
        << c.fund << " " << c.deptLogin << " " << c.prefix << " " << c.login;
}

INSTANTIATE_TEST_SUITE_P(
    FundsAndLogins, WidthRuleTest,
    ::testing::Values(WidthCase{"31", false, "101002", "101001", true}, WidthCase{"31", true, "", "", true},
                      WidthCase{"11", true, "101001", "101001", true}, WidthCase{"11", true, "101", "101001", true},
                      WidthCase{"11", true, "101002", "101001", false},
                      WidthCase{"11", true, "101001001", "101001", false},
                      WidthCase{"11", false, "101001", "101001", false}, WidthCase{"12", true, "101001", "101001", false},
                      WidthCase{"21", true, "101", "101001", false}, WidthCase{"", true, "101001", "101001", false},
                      WidthCase{"11", true, "10", "101001", false}));

} // namespace

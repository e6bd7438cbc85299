#include "cookies/cookie_display.h"

#include <gtest/gtest.h>

#include "support/cookie_fixtures.h"
#include "support/doubles.h"

namespace qm {
namespace {

using test::Moment;

std::wstring ThousandsSeparator() {
    wchar_t separator[8] = L",";
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    return separator;
}

TEST(LifeTime, UnitsAreSingularOnlyForExactlyOne) {
    EXPECT_EQ(LifeTimeText(3601), L"0 days 1 hour 0 minutes 1 second");
    EXPECT_EQ(LifeTimeText(86400 + 2 * 3600 + 61), L"1 days 2 hours 1 minute 1 second");
}

TEST(LifeTime, NowAndThePastAreExpired) {
    EXPECT_EQ(LifeTimeText(0), L"0 days 0 hours 0 minutes 0 seconds (Expired)");
    // Whole days round down, so only the day count is negative.
    EXPECT_EQ(LifeTimeText(-1), L"-1 days 23 hours 59 minutes 59 seconds (Expired)");
    EXPECT_EQ(LifeTimeText(-(86400 + 3600 + 60 + 1)), L"-2 days 22 hours 58 minutes 59 seconds (Expired)");
}

TEST(LifeTime, DaysCarryThousandsSeparators) {
    EXPECT_EQ(LifeTimeText(1234LL * 86400 + 5), L"1" + ThousandsSeparator() + L"234 days 0 hours 0 minutes 5 seconds");
}

TEST(LifeTime, DisplayMeasuresBetweenTheTwoMomentsInWholeSeconds) {
    test::TestApp app;
    SYSTEMTIME now = Moment(2024, 2, 28, 23, 0, 0);
    now.wMilliseconds = 999;  // dropped, as the stored dates drop them
    DispLifeTime(app.ctx, now, Moment(2024, 2, 29, 0, 0, 1));
    EXPECT_EQ(app.ctx.frmMain.txtLife.Text(), L"0 days 1 hour 0 minutes 1 second");
    DispLifeTime(app.ctx, now, now);
    EXPECT_EQ(app.ctx.frmMain.txtLife.Text(), L"0 days 0 hours 0 minutes 0 seconds (Expired)");
}

TEST(GeneralDate, ShowsDateAndTimeButOmitsMidnightAndTheZeroDate) {
    const SYSTEMTIME afternoon = Moment(2007, 3, 14, 15, 9, 26);
    EXPECT_EQ(FormatGeneralDate(afternoon), test::LocaleShortDate(afternoon) + L" " + test::LocaleLongTime(afternoon));

    const SYSTEMTIME midnight = Moment(2007, 3, 14);
    EXPECT_EQ(FormatGeneralDate(midnight), test::LocaleShortDate(midnight));

    const SYSTEMTIME zeroDate = Moment(1899, 12, 30, 6, 30, 0);
    EXPECT_EQ(FormatGeneralDate(zeroDate), test::LocaleLongTime(zeroDate));
    const SYSTEMTIME zeroMoment = Moment(1899, 12, 30);
    EXPECT_EQ(FormatGeneralDate(zeroMoment), test::LocaleLongTime(zeroMoment));
}

TEST(GeneralDate, YearsAboveTheDateRangeAreWrittenIntoTheText) {
    const SYSTEMTIME distant = Moment(12345, 6, 7, 8, 9, 10);
    const std::wstring text = FormatGeneralDate(distant);
    SYSTEMTIME standIn = distant;
    standIn.wYear = 7999;
    std::wstring expected = test::LocaleShortDate(standIn) + L" " + test::LocaleLongTime(standIn);
    expected.replace(expected.find(L"7999"), 4, L"12345");
    EXPECT_EQ(text, expected);
}

TEST(CookieDisplay, ClearDispEmptiesEveryDetailBoxAndDelEnabledMovesBothButtons) {
    test::TestApp app;
    auto& form = app.ctx.frmMain;
    for (TextBoxModel* box : {&form.txtName, &form.txtValue, &form.txtSecure, &form.txtCreated, &form.txtExpire,
                              &form.txtLife})
        box->SetText(L"x");
    ClearDisp(app.ctx);
    for (TextBoxModel* box : {&form.txtName, &form.txtValue, &form.txtSecure, &form.txtCreated, &form.txtExpire,
                              &form.txtLife})
        EXPECT_EQ(box->Text(), L"");

    DelEnabled(app.ctx, false);
    EXPECT_FALSE(form.btnDel.Enabled());
    EXPECT_FALSE(form.btnClear.Enabled());
    DelEnabled(app.ctx, true);
    EXPECT_TRUE(form.btnDel.Enabled());
    EXPECT_TRUE(form.btnClear.Enabled());
}

}  // namespace
}  // namespace qm

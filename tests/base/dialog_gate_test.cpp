// The gate in front of every box: attended runs see the boxes, unattended runs get the
// answer that starts nothing, and nobody waits.
#include <gtest/gtest.h>

#include "base/dialogs.h"
#include "support/doubles.h"

namespace qm {
namespace {

TEST(DialogGate, UnattendedEveryBoxGetsTheAnswerThatStartsNothing) {
    test::RecordingDialogs shown;
    DialogGate gate(shown);
    gate.SetUnattended(true);
    const struct {
        UINT style;
        int answer;
    } boxes[] = {
        {MB_OK | MB_ICONINFORMATION, IDOK},   {MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDNO},   {MB_YESNOCANCEL, IDCANCEL},
        {MB_RETRYCANCEL | MB_ICONERROR, IDCANCEL}, {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_CANCELTRYCONTINUE, IDCANCEL},
    };
    for (const auto& box : boxes)
        EXPECT_EQ(gate.ShowMessage({L"text", L"title", box.style}), box.answer) << box.style;

    TimedBoxRequest notice;
    notice.text = L"Reboot %T";
    notice.title = kTitleTimedBox;
    notice.singleButton = true;
    TimedBoxRequest question;
    question.text = L"Shutdown in %T";
    question.title = kTitleTimedBox;
    question.style = MB_OKCANCEL | MB_ICONINFORMATION;
    question.twoButton = true;
    EXPECT_EQ(gate.ShowTimed(notice), 1);
    EXPECT_EQ(gate.ShowTimed(question), 2);

    EXPECT_TRUE(shown.messages.empty());
    EXPECT_TRUE(shown.timed.empty());
    ASSERT_EQ(gate.Unshown().size(), std::size(boxes) + 2);
    EXPECT_EQ(gate.Unshown().front(), L"title: text");
    EXPECT_EQ(gate.Unshown().back(), L"Dorvik Quillmere Program: Shutdown in %T");
}

TEST(DialogGate, AttendedBoxesAreShownAndAnsweredByTheUser) {
    test::RecordingDialogs shown;
    shown.answers = {IDYES};
    DialogGate gate(shown);
    EXPECT_EQ(gate.ShowMessage({L"Delete?", L"title", MB_YESNO}), IDYES);
    EXPECT_EQ(shown.messages.size(), 1u);
    EXPECT_TRUE(gate.Unshown().empty());
}

}  // namespace
}  // namespace qm

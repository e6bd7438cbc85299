// The self-closing box as its callers see it: what reaches the dialogs seam, and the
// caller state that must be gone before the next box.
#include "clean/timed_message_box.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/text.h"
#include "clean/timed_box_dialog.h"
#include "support/doubles.h"

namespace qm {
namespace {

const HWND kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x5678));
constexpr wchar_t kReminder[] = L"You Must Reboot!\r\n\r\n       Automatic Return Will Happen In %T Seconds.";

void ExpectCallerStateCleared(const TimedBoxState& state) {
    EXPECT_FALSE(state.bSingleButton);
    EXPECT_FALSE(state.bTwoButton);
    EXPECT_EQ(state.TimedMsgText, L"");
    for (const std::wstring& caption : state.buttonCaptions) EXPECT_EQ(caption, L"");
}

TEST(TimedMessageBox, NoticeIsAOneButtonInformationBoxThatTimesOutOnItsOnlyButton) {
    test::TestApp app;
    app.dialogs.timedAnswers.push_back(IDOK);

    EXPECT_EQ(ShowTimedNotice(app.ctx, kReminder, kOwner, 4), IDOK);

    ASSERT_EQ(app.dialogs.timed.size(), 1u);
    const TimedBoxRequest& box = app.dialogs.timed[0];
    EXPECT_EQ(box.title, L"Dorvik Quillmere Program");
    EXPECT_EQ(box.style, 64u);
    EXPECT_EQ(box.owner, kOwner);
    EXPECT_EQ(box.seconds, 4);
    EXPECT_EQ(box.timeoutButton, 2);
    EXPECT_EQ(box.text, kReminder) << "the countdown marker is the box's to fill in";
    EXPECT_TRUE(box.singleButton);
    EXPECT_FALSE(box.twoButton);
    EXPECT_EQ(box.captions[0], L"OK");
    ExpectCallerStateCleared(app.ctx.timedBox);
}

TEST(TimedMessageBox, QuestionIsAnOkCancelBoxThatAnswersItsTimeoutButtonWhenLeftAlone) {
    test::TestApp app;

    EXPECT_EQ(AskTimedQuestion(app.ctx, L"Clean And Shutdown Will Begin In %T Seconds!", kOwner, 4, IDOK), IDOK);
    app.dialogs.timedAnswers.push_back(IDCANCEL);
    EXPECT_EQ(AskTimedQuestion(app.ctx, L"This Will Remove All Program Paths!", kOwner, 4, IDOK), IDCANCEL);

    ASSERT_EQ(app.dialogs.timed.size(), 2u);
    const TimedBoxRequest& box = app.dialogs.timed[0];
    EXPECT_EQ(box.title, L"Dorvik Quillmere Program");
    EXPECT_EQ(box.style, 65u);
    EXPECT_EQ(box.timeoutButton, IDOK);
    EXPECT_TRUE(box.twoButton);
    EXPECT_FALSE(box.singleButton);
    EXPECT_EQ(box.captions[0], L"OK");
    EXPECT_EQ(box.captions[1], L"Cancel");
    ExpectCallerStateCleared(app.ctx.timedBox);
}

TEST(TimedMessageBox, TwoButtonMsgOnlyPreparesTheBoxForTheCaller) {
    test::TestApp app;
    app.ctx.timedBox.bTwoButton = true;
    app.ctx.timedBox.TimedMsgText = L"Proceed in %T?";

    const MsgBoxParams params = TwoButtonMsg(app.ctx, app.ctx.timedBox.TimedMsgText, kOwner, 3, IDCANCEL);

    EXPECT_TRUE(app.dialogs.timed.empty());
    EXPECT_EQ(params.Text, L"Proceed in %T?");
    EXPECT_EQ(params.Caption, L"Dorvik Quillmere Program");
    EXPECT_EQ(params.Style, 65u);
    EXPECT_EQ(params.Seconds, 3);
    EXPECT_EQ(params.TimeoutButton, IDCANCEL);
    EXPECT_EQ(params.hWndOwner, kOwner);

    TimedMessageBoxH(app.ctx, params);
    ASSERT_EQ(app.dialogs.timed.size(), 1u);
    EXPECT_EQ(app.dialogs.timed[0].text, L"Proceed in %T?");
    EXPECT_EQ(app.dialogs.timed[0].captions[1], L"Cancel");
    ExpectCallerStateCleared(app.ctx.timedBox);
}

TEST(TimedMessageBox, TheCallersOwnTextSurvivesBeingClearedDuringTheBox) {
    // The protocol passes TimedMsgText itself, which the box clears when it closes.
    test::TestApp app;
    app.ctx.timedBox.bSingleButton = true;
    app.ctx.timedBox.TimedMsgText = L"Some Of The Files Cleaned Were In Use %T";

    SingleButtonMsg(app.ctx, app.ctx.timedBox.TimedMsgText, kOwner, 5);

    ASSERT_EQ(app.dialogs.timed.size(), 1u);
    EXPECT_EQ(app.dialogs.timed[0].text, L"Some Of The Files Cleaned Were In Use %T");
    EXPECT_EQ(app.dialogs.timed[0].seconds, 5);
    ExpectCallerStateCleared(app.ctx.timedBox);
}

TEST(TimedMessageBox, ASecondBoxStartsWithoutTheFirstBoxsModeAndCaptions) {
    test::TestApp app;
    AskTimedQuestion(app.ctx, L"first", kOwner, 4, IDOK);

    MsgBoxParams plain;
    plain.Text = L"second";
    plain.Seconds = 2;
    TimedMessageBoxH(app.ctx, plain);

    ASSERT_EQ(app.dialogs.timed.size(), 2u);
    const TimedBoxRequest& second = app.dialogs.timed[1];
    EXPECT_FALSE(second.singleButton);
    EXPECT_FALSE(second.twoButton);
    for (const std::wstring& caption : second.captions) EXPECT_EQ(caption, L"");
    // Without a mode only buttons 3 to 5 would be relabelled: none of the box's own.
    for (const ButtonCaption& relabel : CaptionsByMode(second)) {
        EXPECT_NE(relabel.id, IDOK);
        EXPECT_NE(relabel.id, IDCANCEL);
    }
}

class FailingDialogs final : public Dialogs {
public:
    std::vector<MessageBoxRequest> messages;
    int ShowMessage(const MessageBoxRequest& request) override {
        messages.push_back(request);
        return IDOK;
    }
    int ShowTimed(const TimedBoxRequest&) override { throw std::runtime_error("no window station"); }
};

TEST(TimedMessageBox, ABoxThatFailsIsReportedAnswersCancelAndStillClearsTheCallerState) {
    FailingDialogs dialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    test::RecordingPump pump;
    test::RecordingUiHost ui;
    AppContext ctx{dialogs, os, pump, ui};

    EXPECT_EQ(AskTimedQuestion(ctx, L"Clean And Shutdown Will Begin In %T Seconds!", kOwner, 4, IDOK), IDCANCEL)
        << "an unseen question must not let a shutdown proceed";

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, L"Application Error");
    EXPECT_TRUE(StartsWith(dialogs.messages[0].text, L"no window station\r\nin Quillmere.TimedMessageBox.TimedMessageBoxH"))
        << dialogs.messages[0].text;
    ExpectCallerStateCleared(ctx.timedBox);
}

TEST(TimedBoxText, EveryMarkerShowsTheSecondsLeft) {
    EXPECT_EQ(CountdownText(L"In %T seconds (%T)", 4), L"In 4 seconds (4)");
    EXPECT_EQ(CountdownText(L"In %T seconds", 0), L"In 0 seconds");
    EXPECT_EQ(CountdownText(L"In %T seconds", 12), L"In 12 seconds");
    EXPECT_EQ(CountdownText(L"No marker, %t stays", 3), L"No marker, %t stays");
    EXPECT_EQ(CountdownText(L"", 3), L"");
}

TEST(TimedBoxCaptions, ModeChoosesWhichButtonsAreRelabelled) {
    TimedBoxRequest request;
    request.captions = {L"One", L"Two", L"Three"};

    request.singleButton = true;
    request.twoButton = true;  // one-button mode wins
    auto relabels = CaptionsByMode(request);
    ASSERT_EQ(relabels.size(), 1u);
    EXPECT_EQ(relabels[0].id, IDCANCEL);
    EXPECT_EQ(relabels[0].caption, L"One");

    request.singleButton = false;
    relabels = CaptionsByMode(request);
    ASSERT_EQ(relabels.size(), 2u);
    EXPECT_EQ(relabels[0].id, IDOK);
    EXPECT_EQ(relabels[0].caption, L"One");
    EXPECT_EQ(relabels[1].id, IDCANCEL);
    EXPECT_EQ(relabels[1].caption, L"Two");

    request.twoButton = false;
    relabels = CaptionsByMode(request);
    ASSERT_EQ(relabels.size(), 3u);
    EXPECT_EQ(relabels[0].id, 3);
    EXPECT_EQ(relabels[1].id, 4);
    EXPECT_EQ(relabels[2].id, 5);
    EXPECT_EQ(relabels[2].caption, L"Three");
}

}  // namespace
}  // namespace qm

#include <gtest/gtest.h>

#include <vector>

#include "common/ZorvaneText.h"

namespace {

// Records what would be shown, and puts the previous sink back.
class Recorder {
  public:
    explicit Recorder(bool answer = false) {
        previous_ = SetMessageSink([this, answer](const UserMessage& message) {
            shown.push_back(message);
            return answer;
        });
    }
    ~Recorder() { SetMessageSink(std::move(previous_)); }
    std::vector<UserMessage> shown;

  private:
    MessageSink previous_;
};

const char* const kReportTail =
    "\r\n\r\nPlease report this error to us and the exact steps to reproduce it and we will fix it.\r\n"
    "Hint: press Control+C to copy this message to clipboard.";

}  // namespace

TEST(Messages, KindsCaptionsAndExpansion) {
    SetApplicationTitle("Sequora");
    struct Case {
        void (*show)(const std::string&);
        MsgKind kind;
        const char* caption;
    } cases[] = {
        {ShowMsg, MsgKind::Plain, "Sequora"},
        {MsgError, MsgKind::Error, "Error"},
        {MsgWarning, MsgKind::Warning, "Warning"},
        {MsgInfo, MsgKind::Info, "Information"},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        c.show("first CRLF second");
        c.show("");
        ASSERT_EQ(recorder.shown.size(), 1u) << c.caption;
        EXPECT_EQ(recorder.shown[0].kind, c.kind);
        EXPECT_EQ(recorder.shown[0].caption, c.caption);
        EXPECT_EQ(recorder.shown[0].text, "first \r\nsecond");
    }
}

TEST(Messages, ReportErrorAlwaysShowsItsRequestLines) {
    Recorder recorder;
    ReportError("TFindFile.setPath CRLF x", "");
    ReportError("Place", "bad CRLF thing");
    ASSERT_EQ(recorder.shown.size(), 2u);
    EXPECT_EQ(recorder.shown[0].kind, MsgKind::Report);
    // The caption is not expanded.
    EXPECT_EQ(recorder.shown[0].caption, "Error in TFindFile.setPath CRLF x");
    EXPECT_EQ(recorder.shown[0].text, kReportTail);
    EXPECT_EQ(recorder.shown[1].text, std::string("bad \r\nthing") + kReportTail);
}

TEST(Messages, ConfirmReturnsTheAnswer) {
    for (bool answer : {true, false}) {
        Recorder recorder(answer);
        EXPECT_EQ(MsgConfirm("Do you want CRLF this?"), answer);
        ASSERT_EQ(recorder.shown.size(), 1u);
        EXPECT_EQ(recorder.shown[0].kind, MsgKind::Confirm);
        EXPECT_EQ(recorder.shown[0].text, "Do you want \r\nthis?");
    }
    // Without a sink nothing is shown and nothing is confirmed.
    MessageSink previous = SetMessageSink(nullptr);
    EXPECT_FALSE(MsgConfirm("x"));
    SetMessageSink(std::move(previous));
}

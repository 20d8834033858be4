// User messages: every box goes through one sink so that tests can read what would be shown.
#include "common/ZorvaneText.h"

#include <utility>

namespace {

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

std::string& Title() {
    static std::string title;
    return title;
}

bool Show(MsgKind kind, const std::string& caption, const std::string& text) {
    const MessageSink& sink = Sink();
    return sink ? sink(UserMessage{kind, caption, text}) : false;
}

}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    return std::exchange(Sink(), std::move(sink));
}

void SetApplicationTitle(const std::string& title) {
    Title() = title;
}

const std::string& GetApplicationTitle() {
    return Title();
}

void ShowMsg(const std::string& text) {
    if (!text.empty())
        Show(MsgKind::Plain, GetApplicationTitle(), ExpandCRLF(text));
}

void MsgError(const std::string& text) {
    if (!text.empty())
        Show(MsgKind::Error, "Error", ExpandCRLF(text));
}

void MsgWarning(const std::string& text) {
    if (!text.empty())
        Show(MsgKind::Warning, "Warning", ExpandCRLF(text));
}

void MsgInfo(const std::string& text) {
    if (!text.empty())
        Show(MsgKind::Info, "Information", ExpandCRLF(text));
}

void ReportError(const std::string& place, const std::string& text) {
    // Shown even for an empty text: the request lines are the point of the box.
    std::string body = ExpandCRLF(text) +
                       "\r\n\r\nPlease report this error to us and the exact steps to reproduce it and we "
                       "will fix it.\r\nHint: press Control+C to copy this message to clipboard.";
    Show(MsgKind::Report, "Error in " + place, body);
}

bool MsgConfirm(const std::string& text) {
    return Show(MsgKind::Confirm, "Confirm", ExpandCRLF(text));
}

// The program's message sink: real modal boxes, owned by the active window of this thread so
// that they stay over the main window.
#include "common/ZorvaneTPU.h"

bool ShowMessageBoxSink(const UserMessage& message) {
    UINT flags = MB_OK;
    HWND owner = GetActiveWindow();
    switch (message.kind) {
        case MsgKind::Plain:
            break;
        case MsgKind::Error:
            flags |= MB_ICONERROR;
            break;
        case MsgKind::Warning:
            flags |= MB_ICONWARNING;
            break;
        case MsgKind::Info:
            flags |= MB_ICONINFORMATION;
            break;
        case MsgKind::Report:
            // The report box is the system's own, without an owner window.
            flags |= MB_ICONERROR;
            owner = nullptr;
            break;
        case MsgKind::Confirm:
            flags = MB_YESNO | MB_ICONQUESTION;
            break;
    }
    int answer = MessageBoxA(owner, message.text.c_str(), message.caption.c_str(), flags);
    return answer == IDYES;
}

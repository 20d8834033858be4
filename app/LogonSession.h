// Whether the launch sequence has run in this log-on session already. The mark is a volatile
// registry key of the user's, which Windows forgets when the user logs off, so a Sequora opened by
// hand later in the same session does not start the programs a second time.
#pragma once

#include <optional>
#include <string>

// The local time the sequence of this session started ("14:05"), when it did.
std::optional<std::string> SequenceStartedThisLogon();
// Marks this session's sequence as started now.
void MarkSequenceStarted();

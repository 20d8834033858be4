// The Windows-free part of the common routines: text routines, the strict integer conversion and
// the user-message routines (which show through a replaceable sink). Builds natively.
// All texts are 8-bit strings in the system's ANSI code page; line breaks are CR LF.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/Exceptions.h"

// ---- Strict integer conversion --------------------------------------------------------------
// Optional leading blanks, optional sign, then decimal digits or a "$"/"0x"/"0X" hexadecimal
// number; nothing may follow. Raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& text);
[[nodiscard]] bool TryStrToInt(const std::string& text, int32_t& value);

// ---- Text routines ---------------------------------------------------------------------------
std::string IntToText(int32_t value);
std::string ExpandCRLF(const std::string& text);
// Narrows [first, last) of text to leave out the blanks and control characters at both ends.
void TrimBlanksAndControls(const std::string& text, size_t& first, size_t& last);

// Raises EAssertionFailed "SeparatePathFromParams -> Length=0" for an empty command line.
void SeparatePathFromParams(const std::string& commandLine, std::string& path, std::string& params);
std::string ExtractOnlyName(const std::string& path);
std::string CopyAfter(const std::string& text, const std::string& marker);
std::string CopyTo(const std::string& text, int first, int last);  // 1-based, both included
int LastPos(const std::string& sought, const std::string& text);   // 1-based, 0 when absent
std::string TrailBackslash(const std::string& path);
std::string SanitizeFileName(const std::string& text, char replacement);
// The file-name part of a path: the text after its last backslash or drive colon.
std::string ExtractFileName(const std::string& path);
// The folder part of a path, up to and including its last backslash or drive colon.
std::string ExtractFilePath(const std::string& path);
// A UTF-8 text as one component of a URL (a query term): every byte but the unreserved characters
// A-Z a-z 0-9 - . _ ~ becomes %XX with upper-case hex digits, a blank %20. Decoding the result
// gives the same bytes back, so "a&b=c#d" searches for exactly that.
std::string PercentEncode(const std::string& utf8);
// ASCII-only case folding (A-Z <-> a-z), as the program's comparisons use it.
std::string LowerAscii(std::string text);
bool SameTextAscii(const std::string& a, const std::string& b);

// ---- Windows version and administrator rights -------------------------------------------------
// In this order; 8 (WinVista) or more means Vista or later.
enum class OSVersion { Unknown, Win95, Win98, WinMe, WinNT4, Win2000, WinXP, WinServer2003, WinVista, Win7 };

// The version that the platform id (1 9x family, 2 NT family) and version numbers stand for;
// major 6 is Win7 when kernel32 exports PowerCreateRequest, else WinVista.
OSVersion OSVersionFromNumbers(int platformId, int major, int minor, bool hasPowerCreateRequest);
// Whether the process counts as having administrator rights: always on the 9x family; from Vista
// on only when elevated (elevation type 2); before Vista when the token lists the Administrators
// group. Each query is asked only when the answer depends on it.
bool AdminRightsFrom(int platformId,
                     OSVersion version,
                     const std::function<int()>& elevationType,
                     const std::function<bool()>& inAdminGroup);

// ---- User messages ----------------------------------------------------------------------------
enum class MsgKind { Plain, Error, Warning, Info, Report, Confirm };

struct UserMessage {
    MsgKind kind;
    std::string caption;
    std::string text;  // as shown: CRLF tokens already expanded
};

// Every message box of the program goes through one sink. The program's sink shows real modal
// boxes; tests install a recorder. For MsgKind::Confirm the sink returns true for Yes.
using MessageSink = std::function<bool(const UserMessage&)>;
MessageSink SetMessageSink(MessageSink sink);  // returns the previous sink
void SetApplicationTitle(const std::string& title);
const std::string& GetApplicationTitle();

void ShowMsg(const std::string& text);
void MsgError(const std::string& text);
void MsgWarning(const std::string& text);
void MsgInfo(const std::string& text);
void ReportError(const std::string& place, const std::string& text);
// The Yes/No confirmation box; true when the user answered Yes.
[[nodiscard]] bool MsgConfirm(const std::string& text);

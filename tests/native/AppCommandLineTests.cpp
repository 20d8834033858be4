#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "common/ZorvaneText.h"

namespace {

// A file system of a few files, searched for bare names in one folder as CreateProcess would
// search the system folder; names compare without regard to ASCII case.
struct FakeFiles {
    std::set<std::string> files;
    std::vector<std::string> asked;

    bool Exists(const std::string& candidate) {
        asked.push_back(candidate);
        const std::string name = candidate.find_first_of("\\/:") == std::string::npos
                                     ? "c:\\windows\\system32\\" + LowerAscii(candidate)
                                     : LowerAscii(candidate);
        return files.count(name) > 0;
    }
};

std::string Expand(const std::string& text) {
    std::string result = text;
    for (const char* name : {"%systemroot%", "%SystemRoot%", "%LOCALAPPDATA%"}) {
        const std::string value = name[1] == 'L' ? "C:\\Users\\Ann\\AppData\\Local" : "C:\\Windows";
        for (size_t at; (at = result.find(name)) != std::string::npos;)
            result.replace(at, std::string(name).size(), value);
    }
    return result;
}

}  // namespace

TEST(CommandLineSplit, AsCreateProcessFindsTheProgram) {
    const std::set<std::string> files = {
        "c:\\windows\\system32\\mobsync.exe",
        "c:\\windows\\system32\\dumprep.exe",
        "c:\\program files\\vendor\\app\\app.exe",
        "c:\\users\\ann\\appdata\\local\\app\\update.exe",
        "d:\\tools\\agent.exe",
        "c:\\my tools\\tool.exe",
        "c:\\scripts\\run.bat",
        "c:\\scripts\\run.bat.exe",
    };
    struct Case {
        const char* text;
        bool split;
        const char* path;
        const char* params;
        std::vector<std::string> asked;  // empty: not checked
    } cases[] = {
        {"mobsync.exe /logon", true, "mobsync.exe", " /logon", {"mobsync.exe"}},
        {"%systemroot%\\system32\\dumprep 0 -k",
         true,
         "%systemroot%\\system32\\dumprep.exe",
         " 0 -k",
         {"C:\\Windows\\system32\\dumprep.exe"}},
        {"C:\\Program Files\\Vendor\\App\\app.exe -s",
         true,
         "C:\\Program Files\\Vendor\\App\\app.exe",
         " -s",
         {"C:\\Program.exe", "C:\\Program Files\\Vendor\\App\\app.exe"}},
        {"%LOCALAPPDATA%\\App\\Update.exe --processStart \"App.exe\"",
         true,
         "%LOCALAPPDATA%\\App\\Update.exe",
         " --processStart \"App.exe\"",
         {}},
        {"D:\\Tools\\agent.exe -tray", true, "D:\\Tools\\agent.exe", " -tray", {}},
        {"D:\\Tools\\other.exe -tray", false, "", "", {"D:\\Tools\\other.exe", "D:\\Tools\\other.exe -tray"}},
        // The whole text is a program whose folder has a blank; ".exe" comes from CreateProcess.
        {"  C:\\My Tools\\tool\t",
         true,
         "C:\\My Tools\\tool.exe",
         "",
         {"C:\\My.exe", "C:\\My Tools\\tool.exe"}},
        // A name with an extension is tried as it is.
        {"C:\\scripts\\run.bat   now", true, "C:\\scripts\\run.bat", "   now", {"C:\\scripts\\run.bat"}},
        {"C:\\Program Files\\Vendor\\App\\app.exe\t-s",
         true,
         "C:\\Program Files\\Vendor\\App\\app.exe",
         "\t-s",
         {}},
        // Quoted programs are no matter of this routine; nor is a text of blanks.
        {"\"C:\\Program Files\\Vendor\\App\\app.exe\" -s", false, "", "", {}},
        {"   ", false, "", "", {}},
    };
    for (const Case& c : cases) {
        FakeFiles fs{files, {}};
        std::string path = "untouched", params = "untouched";
        const bool split = SplitUnquotedCommandLine(
            c.text, Expand, [&](const std::string& candidate) { return fs.Exists(candidate); }, path, params);
        EXPECT_EQ(split, c.split) << c.text;
        EXPECT_EQ(path, c.split ? c.path : "untouched") << c.text;
        EXPECT_EQ(params, c.split ? c.params : "untouched") << c.text;
        if (!c.asked.empty()) {
            EXPECT_EQ(fs.asked, c.asked) << c.text;
        }
    }

    // A program that CreateProcess finds at a shorter prefix wins, as it would for Windows.
    FakeFiles shadowed{files, {}};
    shadowed.files.insert("c:\\program.exe");
    std::string path, params;
    ASSERT_TRUE(SplitUnquotedCommandLine(
        "C:\\Program Files\\Vendor\\App\\app.exe -s", Expand,
        [&](const std::string& candidate) { return shadowed.Exists(candidate); }, path, params));
    EXPECT_EQ(path, "C:\\Program.exe");
    EXPECT_EQ(params, " Files\\Vendor\\App\\app.exe -s");
}

TEST(CommandLineSplit, DefaultExtension) {
    EXPECT_EQ(WithDefaultExtension("C:\\a\\tool"), "C:\\a\\tool.exe");
    EXPECT_EQ(WithDefaultExtension("C:\\a.b\\tool"), "C:\\a.b\\tool.exe");
    EXPECT_EQ(WithDefaultExtension("tool.com"), "tool.com");
    EXPECT_EQ(WithDefaultExtension("C:tool"), "C:tool.exe");
    EXPECT_EQ(WithDefaultExtension("C:\\dir/tool.cmd"), "C:\\dir/tool.cmd");
}

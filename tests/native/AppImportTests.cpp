#include <gtest/gtest.h>

#include <set>

#include "app/BackupScript.h"
#include "app/ImportPlan.h"
#include "app/Notices.h"
#include "common/ZorvaneText.h"

namespace {

CollectedEntry RunValue(const std::string& line, EntryPlace place = EntryPlace::UserRun) {
    CollectedEntry entry;
    entry.source = CollectedEntry::Source::RunValue;
    entry.text = line;
    entry.place = place;
    entry.sourceName = line.substr(0, line.find('='));
    return entry;
}

CollectedEntry Shortcut(const std::string& file, const std::string& target, const std::string& args = {}) {
    CollectedEntry entry;
    entry.source = CollectedEntry::Source::Shortcut;
    entry.text = target;
    entry.place = EntryPlace::UserStartup;
    entry.sourceName = file;
    entry.shortcutLoaded = true;
    entry.shortcutArgs = args;
    entry.keptShortcut = "C:\\Data\\originals\\Startup\\" + file;
    return entry;
}

template <class F>
CollectedEntry With(CollectedEntry entry, F change) {
    change(entry);
    return entry;
}

const std::string kOwnExe = "C:\\Apps\\Sequora\\sequora.exe";

// Programs that exist for the unquoted-value rule: a system program found by its bare name, and
// one under a folder with blanks.
ImportContext Context() {
    ImportContext context;
    context.ownExe = kOwnExe;
    context.separator = " | ";
    context.expand = [](const std::string& text) { return text; };
    context.programExists = [](const std::string& candidate) {
        static const std::set<std::string> files = {"mobsync.exe", "rundll32.exe",
                                                    "c:\\program files\\vendor\\app.exe"};
        return files.count(LowerAscii(candidate)) > 0;
    };
    return context;
}

std::vector<EntryOutcome> Outcomes(const ImportPlan& plan) {
    std::vector<EntryOutcome> outcomes;
    for (const EntryPlan& entry : plan.entries)
        outcomes.push_back(entry.outcome);
    return outcomes;
}

}  // namespace

TEST(ImportSplit, PathAndParameters) {
    struct Case {
        CollectedEntry entry;
        const char* path;
        const char* params;
    } cases[] = {
        {RunValue("Tool=\"C:\\Program Files\\Tool\\tool.exe\" /silent"), "C:\\Program Files\\Tool\\tool.exe",
         " /silent"},
        // An unquoted value is split where CreateProcess finds its program, else it is the path.
        {RunValue("Sync=mobsync.exe /logon"), "mobsync.exe", " /logon"},
        {RunValue("App=C:\\Program Files\\Vendor\\app.exe -s"), "C:\\Program Files\\Vendor\\app.exe", " -s"},
        {RunValue("Agent=D:\\Tools\\agent.exe -tray"), "D:\\Tools\\agent.exe -tray", ""},
        {RunValue("Cpl=rundll32.exe shell32.dll,Control_RunDLL desk.cpl"), "RunDLL32.exe",
         "shell32.dll,Control_RunDLL desk.cpl"},
        {RunValue("Cpl=\"C:\\Windows\\System32\\RUNDLL32.EXE\" shell32.dll,Control_RunDLL desk.cpl"),
         "RunDLL32.exe", " shell32.dll,Control_RunDLL desk.cpl"},
        {RunValue("Empty="), "", ""},
        {RunValue("=C:\\default.exe"), "C:\\default.exe", ""},
        // A shortcut brings its arguments; one that names no file is started through its kept copy.
        {Shortcut("Tool.lnk", "C:\\a=b\\tool.exe", "-minimize"), "C:\\a=b\\tool.exe", " -minimize"},
        {Shortcut("Panel.lnk", ""), "C:\\Data\\originals\\Startup\\Panel.lnk", ""},
        {With(Shortcut("Broken.lnk", ""), [](CollectedEntry& e) { e.shortcutLoaded = false; }), "", ""},
        {Shortcut("Dll.lnk", "C:\\Windows\\System32\\rundll32.exe", "x.dll,Go"), "RunDLL32.exe", " x.dll,Go"},
        // Where no prefix names a file the program is the text up to the first blank.
        {RunValue("Far=C:\\Win\\rundll32.exe shell32.dll,Control_RunDLL C:\\x\\y.cpl"), "RunDLL32.exe",
         "shell32.dll,Control_RunDLL C:\\x\\y.cpl"},
        // Only a program that is rundll32 is one: a name or an argument that mentions it is not.
        {RunValue("rundll32.exe helper=\"C:\\Tools\\runner.exe\" /with rundll32.exe"), "C:\\Tools\\runner.exe",
         " /with rundll32.exe"},
        {RunValue("Uses=\"C:\\Tools\\runner.exe\" rundll32.exe x.dll,Go"), "C:\\Tools\\runner.exe",
         " rundll32.exe x.dll,Go"},
    };
    for (const Case& c : cases) {
        std::string path = "stale", params = "stale";
        SplitEntry(c.entry, Context(), path, params);
        EXPECT_EQ(path, c.path) << c.entry.text;
        EXPECT_EQ(params, c.params) << c.entry.text;
    }
}

TEST(ImportPlan, DelaysCountEveryCollectedEntry) {
    // Machine: Alpha, Beta; user: the program itself, Gamma; user's Startup folder: Delta.
    std::vector<CollectedEntry> entries = {
        RunValue("Alpha=C:\\a.exe", EntryPlace::MachineRun),
        RunValue("Beta=C:\\b.exe", EntryPlace::MachineRun), RunValue("sequora=\"" + kOwnExe + "\""),
        RunValue("Gamma=C:\\g.exe"), Shortcut("Delta.lnk", "C:\\DELTA~1\\d.exe")};
    ImportContext context = Context();
    context.ownExe = "c:\\apps\\SEQUORA\\Sequora.EXE";
    ImportPlan plan = PlanImport(entries, {}, {}, context);

    ASSERT_EQ(plan.newItems.size(), 4u);
    const char* expected[][3] = {{"Alpha", "C:\\a.exe", "5"},
                                 {"Beta", "C:\\b.exe", "6"},
                                 {"Gamma", "C:\\g.exe", "8"},
                                 {"", "C:\\DELTA~1\\d.exe", "9"}};
    for (size_t i = 0; i < 4; ++i) {
        const StartupItem& item = plan.newItems[i];
        EXPECT_EQ(item.enabled, "+");
        EXPECT_EQ(item.name, expected[i][0]);
        EXPECT_EQ(item.path, expected[i][1]);
        EXPECT_EQ(item.params, "");
        EXPECT_EQ(item.delay, expected[i][2]);
        EXPECT_EQ(item.search, "Click");
    }
    EXPECT_EQ(plan.entries[2].outcome, EntryOutcome::OwnProgram);
    EXPECT_TRUE(plan.entries[2].removable);  // written again after the import
    EXPECT_EQ(plan.entries[4].item, 3);
}

// Every distinct entry becomes an item; only what the table then holds may be taken from Windows.
TEST(ImportPlan, OutcomesDecideWhatIsRemoved) {
    std::vector<StartupItem> table = {{"+", "Held", "C:\\held.exe", " /min", "5", "Click"},
                                      {"+", "Other", "C:\\other.exe", "", "7", "Click"}};
    struct Case {
        CollectedEntry entry;
        EntryOutcome outcome;
        bool removable;
        int row;  // Held: the row that holds it (new items count on from the table's end)
    } cases[] = {
        {RunValue("New=C:\\new.exe"), EntryOutcome::Added, true, 3},
        {RunValue("NewAgain=c:\\NEW.exe"), EntryOutcome::Held, true, 3},  // same path and parameters
        {RunValue("HeldToo=\"C:\\HELD.exe\" /MIN"), EntryOutcome::Held, true, 1},
        {RunValue("OtherArgs=\"C:\\other.exe\" /tray"), EntryOutcome::Added, true, 4},
        {RunValue("Dll1=rundll32.exe one.dll,Start"), EntryOutcome::Added, true, 5},
        {RunValue("Dll2=rundll32.exe two.dll,Start"), EntryOutcome::Added, true, 6},
        {With(Shortcut("Broken.lnk", ""), [](CollectedEntry& e) { e.shortcutLoaded = false; }),
         EntryOutcome::Unreadable, false, -1},
        {RunValue("Blank="), EntryOutcome::Unreadable, false, -1},
        {RunValue("Unclosed=\"C:\\x.exe"), EntryOutcome::Unreadable, false, -1},
        {RunValue("Bar=C:\\x.exe | y"), EntryOutcome::NotStorable, false, -1},
        {RunValue("Na | me=C:\\y.exe"), EntryOutcome::NotStorable, false, -1},
        {RunValue("Break=\"C:\\z.exe\" a\r\nb"), EntryOutcome::NotStorable, false, -1},
        {With(RunValue("Binary="), [](CollectedEntry& e) { e.notText = true; }), EntryOutcome::NotText, false,
         -1},
        {With(RunValue("Lost=C:\\l.exe"), [](CollectedEntry& e) { e.unrepresentable = true; }),
         EntryOutcome::Unrepresentable, false, -1},
        // A machine-wide place this process cannot change keeps its entries; one the table
        // already starts is held (the row is told apart from the rest) but stays in Windows.
        {With(RunValue("Machine=C:\\m.exe", EntryPlace::MachineRun),
              [](CollectedEntry& e) { e.placeReadOnly = true; }),
         EntryOutcome::LeftToWindows, false, -1},
        {With(RunValue("MachineToo=C:\\other.exe", EntryPlace::MachineRun32),
              [](CollectedEntry& e) { e.placeReadOnly = true; }),
         EntryOutcome::Held, false, 2},
    };
    std::vector<CollectedEntry> entries;
    for (const Case& c : cases)
        entries.push_back(c.entry);
    ImportPlan plan = PlanImport(entries, table, {}, Context());

    ASSERT_EQ(plan.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryPlan& p = plan.entries[i];
        EXPECT_EQ(p.outcome, cases[i].outcome) << entries[i].text;
        EXPECT_EQ(p.removable, cases[i].removable) << entries[i].text;
        const int row = p.row >= 1 ? p.row : p.item >= 0 ? static_cast<int>(table.size()) + 1 + p.item : -1;
        EXPECT_EQ(row, cases[i].row) << entries[i].text;
    }
    ASSERT_EQ(plan.newItems.size(), 4u);
    EXPECT_EQ(plan.newItems[1].params, " /tray");
    EXPECT_EQ(plan.newItems[2].path, "RunDLL32.exe");
    EXPECT_EQ(plan.newItems[2].delay, "9");
    EXPECT_EQ(plan.newItems[3].params, "two.dll,Start");
}

// A program that writes its Run value back at every start is the same entry: it is never added
// again, and a changed command reaches its row unless the user changed what the row starts.
TEST(ImportPlan, TheSameEntryIsHeldAndTakesItsNewCommand) {
    std::vector<StartupItem> table = {
        {"-", "Updater", "C:\\u\\Update.exe", " --processStart \"App.exe\"", "12", "Click"},
        {"+", "Edited", "C:\\mine\\tool.exe", " /mine", "20", "Click"},
        {"+", "Same", "C:\\same.exe", "", "30", "Click"}};
    std::vector<HeldEntry> held = {
        {EntryIdentity(EntryPlace::UserRun, "updater"),
         1,
         {"Updater", "C:\\u\\Update.exe", " --processStart \"App.exe\""}},
        {EntryIdentity(EntryPlace::UserRun, "Edited"), 2, {"Edited", "C:\\tool.exe", ""}},
        {EntryIdentity(EntryPlace::UserStartup, "Same.lnk"), 3, {"", "C:\\same.exe", ""}},
        {EntryIdentity(EntryPlace::UserRun, "Gone"), -1, {"Gone", "C:\\gone.exe", ""}},
    };
    std::vector<CollectedEntry> entries = {
        RunValue(
            "UPDATER=\"C:\\u\\Update.exe\" --processStart \"App.exe\" --process-start-args \"--hidden\""),
        RunValue("Edited=C:\\tool2.exe"),
        Shortcut("same.LNK", "C:\\same.exe"),
        RunValue("Gone=C:\\gone.exe"),                             // its row went: it comes in anew
        RunValue("Edited=C:\\tool2.exe", EntryPlace::MachineRun),  // another key: another entry
    };
    ImportPlan plan = PlanImport(entries, table, held, Context());
    EXPECT_EQ(Outcomes(plan),
              (std::vector<EntryOutcome>{EntryOutcome::Held, EntryOutcome::Held, EntryOutcome::Held,
                                         EntryOutcome::Added, EntryOutcome::Added}));
    EXPECT_EQ(plan.entries[0].row, 1);
    EXPECT_TRUE(plan.entries[0].commandChanged);
    EXPECT_TRUE(plan.entries[0].rowTakesCommand);
    EXPECT_EQ(plan.entries[0].params, " --processStart \"App.exe\" --process-start-args \"--hidden\"");
    EXPECT_EQ(plan.entries[1].row, 2);
    EXPECT_TRUE(plan.entries[1].commandChanged);
    EXPECT_FALSE(plan.entries[1].rowTakesCommand);  // the user's own command stays
    EXPECT_EQ(plan.entries[2].row, 3);
    EXPECT_FALSE(plan.entries[2].commandChanged);
    for (const EntryPlan& p : plan.entries)
        EXPECT_TRUE(p.removable);
    ASSERT_EQ(plan.newItems.size(), 2u);
    EXPECT_EQ(plan.newItems[0].name, "Gone");
    EXPECT_EQ(plan.newItems[1].path, "C:\\tool2.exe");
}

TEST(ImportPlan, SwitchedOffInWindowsImportsDisabled) {
    ImportPlan plan =
        PlanImport({With(RunValue("Off=C:\\off.exe"), [](CollectedEntry& e) { e.disabledByWindows = true; }),
                    RunValue("On=C:\\on.exe")},
                   {}, {}, Context());
    ASSERT_EQ(plan.newItems.size(), 2u);
    EXPECT_EQ(plan.newItems[0].enabled, "-");
    EXPECT_EQ(plan.newItems[1].enabled, "+");

    EXPECT_TRUE(IsDisabledByStartupApproved(std::string("\x03\0\0\0", 4)));
    EXPECT_FALSE(IsDisabledByStartupApproved(std::string("\x02\0\0\0", 4)));
    EXPECT_FALSE(IsDisabledByStartupApproved(std::string("\x06", 1)));
    EXPECT_FALSE(IsDisabledByStartupApproved(""));
}

TEST(BackupScript, EachLineStartsExactlyItsProgram) {
    BackupOptions options;
    options.variableDefined = [](const std::string& name) { return name == "windir" || name == "APPDATA"; };
    options.codePage = 65001;
    std::vector<BackupLine> lines = {
        {"D:\\Apps\\tool.exe", "/min", ""},
        {"C:\\off.exe", "", ""},
        {"", " /nothing", ""},  // no program: no line
        {"C:\\a&b\\100%\\x.exe", " one & two | three > four ^five \"six & seven\" 50%", ""},
        {"%windir%\\notepad.exe", " %APPDATA%\\notes.txt %UNSET% 100%20/P%22", ""},
        {"C:\\Progs\\tool.exe", " -minimize", "%APPDATA%\\Tool"},
    };
    EXPECT_EQ(
        BuildBackupScript(lines, options),
        "REM Batch script to restore your startup items\r\nPrompt $\r\n"
        "start \"\" \"D:\\Apps\\tool.exe\" /min\r\n"
        "start \"\" \"C:\\off.exe\" \r\n"
        "start \"\" \"C:\\a&b\\100%%\\x.exe\"  one ^& two ^| three ^> four ^^five \"six & seven\" 50%%\r\n"
        "start \"\" \"%windir%\\notepad.exe\"  %APPDATA%\\notes.txt %%UNSET%% 100%%20/P%%22\r\n"
        "start \"\" /D \"%APPDATA%\\Tool\" \"C:\\Progs\\tool.exe\"  -minimize\r\n"
        "Pause\r\n");
    EXPECT_EQ(BuildBackupScript({}, options),
              "REM Batch script to restore your startup items\r\nPrompt $\r\nPause\r\n");
    // Text beyond ASCII: cmd is switched to the code page the script is written in.
    EXPECT_EQ(BuildBackupScript({{"C:\\\xD0\x9F\\p.exe", "", ""}}, options),
              "REM Batch script to restore your startup items\r\nchcp 65001 >nul\r\nPrompt $\r\n"
              "start \"\" \"C:\\\xD0\x9F\\p.exe\" \r\nPause\r\n");

    // An unmatched quote leaves the rest of the line quoted, for cmd as for the escaping.
    bool inQuotes = false;
    EXPECT_EQ(EscapeForBatch("a \"b & c", inQuotes, options), "a \"b & c");
    EXPECT_TRUE(inQuotes);

    EXPECT_EQ(BackupFileName("9/12/2025 4:07:33"), "StartUp_Backup_9_12_2025 4_07_33.bat");
    EXPECT_EQ(BackupFileName("31.12.2010 10:15:00"), "StartUp_Backup_31.12.2010 10_15_00.bat");

    EXPECT_EQ(LaunchCaption("Notes", "D:\\Tools\\notes.exe", "/min"),
              "Executing: Notes  -  D:\\Tools\\notes.exe/min");
}

// What was told at the last start is not told again while it stays the same.
TEST(Notices, ToldOnceUntilTheTextChanges) {
    std::string told;
    EXPECT_EQ(NewNotices({"two exe files", "a value is no text"}, "", told), (std::vector<size_t>{0, 1}));
    const std::string first = told;
    EXPECT_EQ(NewNotices({"a value is no text", "two exe files"}, first, told), std::vector<size_t>{});
    EXPECT_EQ(told.size(), first.size());
    // Changed, gone, back: the changed one is news, and one that went away is news when it returns.
    EXPECT_EQ(NewNotices({"three exe files", "a value is no text"}, first, told), std::vector<size_t>{0});
    EXPECT_EQ(NewNotices({"three exe files"}, told, told), std::vector<size_t>{});
    EXPECT_EQ(NewNotices({"three exe files", "a value is no text"}, told, told), std::vector<size_t>{1});
    // The same text twice in one start is told once.
    EXPECT_EQ(NewNotices({"same", "same"}, "", told), std::vector<size_t>{0});
    EXPECT_NE(NoticeFingerprint("a"), NoticeFingerprint("b"));
    EXPECT_EQ(NoticeFingerprint("a").size(), 16u);
}

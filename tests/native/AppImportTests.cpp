#include <gtest/gtest.h>

#include "app/BackupScript.h"
#include "app/ImportPlan.h"

namespace {

CollectedEntry RunValue(const std::string& line, bool notText = false, bool disabled = false) {
    return CollectedEntry{CollectedEntry::Source::RunValue, line, notText, disabled};
}

CollectedEntry Shortcut(const std::string& target) {
    return CollectedEntry{CollectedEntry::Source::Shortcut, target, false, false};
}

const std::string kOwnExe = "C:\\Apps\\Sequora\\sequora.exe";

}  // namespace

TEST(ImportSplit, PathAndParameters) {
    struct Case {
        CollectedEntry entry;
        const char* path;
        const char* params;
    } cases[] = {
        {RunValue("Tool=\"C:\\Program Files\\Tool\\tool.exe\" /silent"), "C:\\Program Files\\Tool\\tool.exe",
         " /silent"},
        {RunValue("Agent=D:\\Tools\\agent.exe -tray"), "D:\\Tools\\agent.exe -tray", ""},
        {RunValue("Cpl=rundll32.exe shell32.dll,Control_RunDLL desk.cpl"), "RunDLL32.exe",
         "shell32.dll,Control_RunDLL desk.cpl"},
        {RunValue("Cpl=\"C:\\Windows\\System32\\RUNDLL32.EXE\" shell32.dll,Control_RunDLL desk.cpl"),
         "RunDLL32.exe", " shell32.dll,Control_RunDLL desk.cpl"},
        {RunValue("Empty="), "", ""},
        {RunValue("=C:\\default.exe"), "C:\\default.exe", ""},
        // A shortcut's target is a path alone, "=" or not.
        {Shortcut("C:\\a=b\\tool.exe"), "C:\\a=b\\tool.exe", ""},
        {Shortcut(""), "", ""},
    };
    for (const Case& c : cases) {
        std::string path = "stale", params = "stale";
        SplitEntry(c.entry, path, params);
        EXPECT_EQ(path, c.path) << c.entry.text;
        EXPECT_EQ(params, c.params) << c.entry.text;
    }
}

TEST(ImportPlan, DelaysCountEveryCollectedEntry) {
    // Machine: Alpha, Beta; user: the program itself, Gamma; user's Startup folder: Delta.
    std::vector<CollectedEntry> entries = {RunValue("Alpha=C:\\a.exe"), RunValue("Beta=C:\\b.exe"),
                                           RunValue("sequora=\"" + kOwnExe + "\""),
                                           RunValue("Gamma=C:\\g.exe"), Shortcut("C:\\DELTA~1\\d.exe")};
    ImportPlan plan = PlanImport(entries, {}, "c:\\apps\\SEQUORA\\Sequora.EXE", " | ");

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
    EXPECT_EQ(plan.outcomes[2], EntryOutcome::OwnProgram);
    EXPECT_TRUE(MayRemoveSource(plan.outcomes[2]));  // written again after the import
}

// Only what the table then holds may be taken from Windows.
TEST(ImportPlan, OutcomesDecideWhatIsRemoved) {
    std::vector<StartupItem> table = {{"+", "Held", "C:\\held.exe", " /min", "5", "Click"},
                                      {"+", "Other", "C:\\other.exe", "", "7", "Click"}};
    struct Case {
        CollectedEntry entry;
        EntryOutcome outcome;
    } cases[] = {
        {RunValue("New=C:\\new.exe"), EntryOutcome::Added},
        {RunValue("NewAgain=c:\\NEW.exe"), EntryOutcome::HeldAlready},  // same path and parameters
        {RunValue("HeldToo=\"C:\\HELD.exe\" /MIN"), EntryOutcome::HeldAlready},
        {RunValue("OtherArgs=\"C:\\other.exe\" /tray"), EntryOutcome::SamePathOtherParams},
        {RunValue("Dll1=rundll32.exe one.dll,Start"), EntryOutcome::Added},
        {RunValue("Dll2=rundll32.exe two.dll,Start"), EntryOutcome::SamePathOtherParams},
        {Shortcut(""), EntryOutcome::Unreadable},
        {RunValue("Blank="), EntryOutcome::Unreadable},
        {RunValue("Unclosed=\"C:\\x.exe"), EntryOutcome::Unreadable},
        {RunValue("Bar=C:\\x.exe | y"), EntryOutcome::NotStorable},
        {RunValue("Na | me=C:\\y.exe"), EntryOutcome::NotStorable},
        {RunValue("Break=\"C:\\z.exe\" a\r\nb"), EntryOutcome::NotStorable},
        {RunValue("Binary=", true), EntryOutcome::NotText},
    };
    std::vector<CollectedEntry> entries;
    for (const Case& c : cases)
        entries.push_back(c.entry);
    ImportPlan plan = PlanImport(entries, table, kOwnExe, " | ");

    ASSERT_EQ(plan.outcomes.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(plan.outcomes[i], cases[i].outcome) << entries[i].text;
    ASSERT_EQ(plan.newItems.size(), 2u);
    EXPECT_EQ(plan.newItems[1].path, "RunDLL32.exe");
    EXPECT_EQ(plan.newItems[1].delay, "9");

    bool removable[] = {true,  true,  true,  false, true,  false, false,
                        false, false, false, false, false, false};
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(MayRemoveSource(plan.outcomes[i]), removable[i]) << entries[i].text;
}

TEST(ImportPlan, SwitchedOffInWindowsImportsDisabled) {
    ImportPlan plan =
        PlanImport({RunValue("Off=C:\\off.exe", false, true), RunValue("On=C:\\on.exe")}, {}, kOwnExe, " | ");
    ASSERT_EQ(plan.newItems.size(), 2u);
    EXPECT_EQ(plan.newItems[0].enabled, "-");
    EXPECT_EQ(plan.newItems[1].enabled, "+");

    EXPECT_TRUE(IsDisabledByStartupApproved(std::string("\x03\0\0\0", 4)));
    EXPECT_FALSE(IsDisabledByStartupApproved(std::string("\x02\0\0\0", 4)));
    EXPECT_FALSE(IsDisabledByStartupApproved(std::string("\x06", 1)));
    EXPECT_FALSE(IsDisabledByStartupApproved(""));
}

TEST(BackupScript, LinesAndName) {
    std::vector<StartupItem> items = {{"+", "Tool", "D:\\Apps\\tool.exe", "/min", "5", ""},
                                      {"-", "Off", "C:\\off.exe", "", "6", ""},
                                      {"+", "", "", "", "7", ""}};
    EXPECT_EQ(BuildBackupScript(items),
              "REM Batch script to restore your startup items\r\nPrompt $\r\n"
              "\"D:\\Apps\\tool.exe\" /min\r\n\"C:\\off.exe\" \r\n\"\" \r\nPause\r\n");
    EXPECT_EQ(BuildBackupScript({}),
              "REM Batch script to restore your startup items\r\nPrompt $\r\nPause\r\n");

    EXPECT_EQ(BackupFileName("9/12/2025 4:07:33"), "StartUp_Backup_9_12_2025 4_07_33.bat");
    EXPECT_EQ(BackupFileName("31.12.2010 10:15:00"), "StartUp_Backup_31.12.2010 10_15_00.bat");

    EXPECT_EQ(LaunchCaption("Notes", "D:\\Tools\\notes.exe", "/min"),
              "Executing: Notes  -  D:\\Tools\\notes.exe/min");
}

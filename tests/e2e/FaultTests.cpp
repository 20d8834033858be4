// sequora.exe when its files, folders and start-up places fail it: a table file it cannot write
// or read, a locked log, a data folder it cannot use, a missing Run key or Startup folder, a
// shortcut it cannot delete, and a Run key larger than usual. In each the program goes on, tells
// the user what failed, and every entry is still held by the table file, a backup script or
// Windows' own start-up places.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

using namespace e2e;
using testsupport::DwordBytes;
using testsupport::ReadWholeFile;
using testsupport::WriteRawValue;
using testsupport::WriteWholeFile;

namespace {

const std::string kCannotSave = "Cannot save the table of start up objects to ";
const char* const kLeftToWindows =
    "The start up entries were left to Windows: the table or its backup could not be written";

// Opens a file for reading and lets others only read it: nobody may write, replace or delete it
// while the handle is held.
UniqueHandle HoldOpen(const std::string& path) {
    return UniqueHandle(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether two paths name the same file, one of them perhaps in its short form.
bool SameFile(const std::string& one, const std::string& other) {
    auto longForm = [](const std::string& path) {
        char text[MAX_PATH];
        const DWORD length = GetLongPathNameA(path.c_str(), text, MAX_PATH);
        std::string result = length > 0 && length < MAX_PATH ? std::string(text, length) : path;
        for (char& c : result)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return result;
    };
    return longForm(one) == longForm(other);
}

// The time the file was last written, in 100-ns ticks; 0 when it cannot be read.
unsigned long long LastWritten(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool Contains(const std::optional<std::string>& text, const std::string& part) {
    return text && text->find(part) != std::string::npos;
}

}  // namespace

class Fault : public ScenarioTest {
  protected:
    // Every backup script written, one after the other.
    std::string BackupTexts() const {
        std::string text;
        for (const std::string& file : FilesIn(BackupFolder()))
            text += ReadWholeFile(BackupFolder() + file).value_or("");
        return text;
    }

    // A later run that only imports: the settings exist (the user confirmed an import once), and
    // the items are not started.
    void SettingsOfALaterRun() {
        WriteRawValue(UserRoot(), kSettingsKey, "chkEnabled", REG_DWORD, DwordBytes(0));
        ConfirmImports();
    }

    // A later run whose start imports by itself, before its window shows and without a box: the
    // settings and an empty table exist, and the program's own value is in the user's Run key.
    // Called after the entries are seeded, so that the own value is listed last on Windows too
    // (Wine lists values by name).
    void PrepareALaterRun() {
        SettingsOfALaterRun();
        WriteDataFile(TableFile(), TableFileText({}));
        SeedRunValue(UserRoot(), "sequora", OwnRunValue());
    }

    // A file a shortcut can point at.
    std::string Program(const std::string& name) {
        const std::string path = ProgramFolder() + name;
        WriteWholeFile(path, "MZ");
        return path;
    }
};

// At the import of a later run the read-only table is not written, so the new entry stays with
// Windows and out of the table (the backup holds it with the rest); the status bar says so, and no
// box stops the user. At exit the table is left as it is, and the user is told it could not be
// saved.
TEST_F(Fault, AReadOnlyTableStaysAsItIsAndWindowsKeepsTheNewEntry) {
    SettingsOfALaterRun();
    const std::vector<std::string> old = {"+", "Old", "C:\\apps\\old.exe", " /o", "5", "Click"};
    const std::string table = TableFileText({old});
    WriteDataFile(TableFile(), table);
    ASSERT_TRUE(SetFileAttributesA(TableFile().c_str(), FILE_ATTRIBUTE_READONLY));
    SeedRunValue(UserRoot(), "New", "\"C:\\apps\\new.exe\" /n");
    SeedRunValue(UserRoot(), "sequora", OwnRunValue());

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return main.StatusText() == kLeftToWindows; }, kBoxTimeoutMs))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    EXPECT_EQ(main.Rows(), (Rows{kHeaderRow, old}));
    CloseAndWait(app, main, kCannotSave + TableFile());

    EXPECT_EQ(ReadWholeFile(TableFile()), table);
    EXPECT_NE(GetFileAttributesA(TableFile().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(FilesIn(DataFolder(), "StartUpObjects.bin.~*"), std::vector<std::string>{});
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"New", "sequora"}));
    ASSERT_EQ(FilesIn(BackupFolder()).size(), 1u);
    const std::string backup = BackupTexts();
    EXPECT_NE(backup.find("\"C:\\apps\\old.exe\"  /o\r\n"), std::string::npos) << backup;
    EXPECT_NE(backup.find("\"C:\\apps\\new.exe\"  /n\r\n"), std::string::npos) << backup;
}

// A file held open by another program while the window closes: the exit goes on past it, and
// the file keeps what it held. A table that cannot be saved is reported; the log is passed over.
struct LockedAtExit {
    const char* name;
    bool table;  // the table file, else the log
};

class FaultAtExit : public Fault, public testing::WithParamInterface<LockedAtExit> {};

TEST_P(FaultAtExit, TheExitGoesOnAndTheFileKeepsWhatItHeld) {
    SettingsOfALaterRun();
    const std::vector<std::string> old = {"+", "Old", "C:\\apps\\old.exe", "", "5", "Click"};
    WriteDataFile(TableFile(), TableFileText({old}));
    const std::string earlierLog = "\r\n\r\nan earlier run\r\n";
    WriteDataFile(LogFile(), earlierLog);
    SeedRunValue(UserRoot(), "New", "C:\\apps\\new.exe");
    SeedRunValue(UserRoot(), "sequora", OwnRunValue());

    // The later run's import takes the new entry while nothing is locked yet.
    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(
        WaitUntil([&] { return main.StatusText().rfind("Backup created to ", 0) == 0; }, kBoxTimeoutMs))
        << main.StatusText();
    EXPECT_EQ(main.Rows(), (Rows{kHeaderRow, old, {"+", "New", "C:\\apps\\new.exe", "", "5", "Click"}}));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    const std::optional<std::string> imported = ReadWholeFile(TableFile());
    ASSERT_TRUE(Contains(imported, " | New | C:\\apps\\new.exe | ")) << imported.value_or("");
    const unsigned long long importedAt = LastWritten(TableFile());

    UniqueHandle lock = HoldOpen(GetParam().table ? TableFile() : LogFile());
    ASSERT_TRUE(lock.Valid()) << GetLastError();
    // The process ends with exit code 0, after the error box for the table.
    CloseAndWait(app, main, GetParam().table ? kCannotSave + TableFile() : std::string());
    lock.Reset();

    // The settings are written after the log and before the table: the exit went past the log.
    EXPECT_TRUE(testsupport::ReadRawValue(UserRoot(), kSettingsKey, "Top").has_value());
    const std::optional<std::string> log = ReadWholeFile(LogFile());
    // The table is saved at exit as a new file that replaces the old one.
    if (GetParam().table) {
        EXPECT_EQ(LastWritten(TableFile()), importedAt) << "the locked table was replaced";
        EXPECT_EQ(ReadWholeFile(TableFile()), imported);
        EXPECT_EQ(FilesIn(DataFolder(), "StartUpObjects.bin.~*"), std::vector<std::string>{});
        EXPECT_TRUE(log && log->size() > earlierLog.size() && log->rfind(earlierLog, 0) == 0)
            << log.value_or("");
    } else {
        EXPECT_EQ(log, earlierLog);
        EXPECT_NE(LastWritten(TableFile()), importedAt) << "the table was not saved at exit";
        EXPECT_TRUE(Contains(ReadWholeFile(TableFile()), " | New | C:\\apps\\new.exe | "));
    }
    EXPECT_TRUE(Contains(ReadWholeFile(TableFile()), " | Old | C:\\apps\\old.exe | "));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    const std::string backup = BackupTexts();
    EXPECT_NE(backup.find("\"C:\\apps\\old.exe\" "), std::string::npos) << backup;
    EXPECT_NE(backup.find("\"C:\\apps\\new.exe\" "), std::string::npos) << backup;
}

INSTANTIATE_TEST_SUITE_P(Locked,
                         FaultAtExit,
                         testing::Values(LockedAtExit{"TableFile", true}, LockedAtExit{"LogFile", false}),
                         [](const testing::TestParamInfo<LockedAtExit>& info) { return info.param.name; });

// Where the table file should go there is a folder of that name: the import writes the backup but
// no table, so Windows keeps its entries and the status bar says so. The exit leaves the folder
// and says the table could not be saved.
TEST_F(Fault, ATableLocationThatIsAFolderLeavesTheEntriesToWindows) {
    ASSERT_TRUE(CreateDirectoryA(DataFolder().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(TableFile().c_str(), nullptr));
    SeedRunValue(UserRoot(), "One", "C:\\apps\\one.exe");
    testsupport::SaveShortcut(StartupFolder() + "Two.lnk", Program("two.exe"), "");

    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    Answer(app, "Information", "Now you can just close this program", IDOK);
    EXPECT_EQ(main.StatusText(), kLeftToWindows);
    EXPECT_EQ(main.Rows(), Rows{kHeaderRow});
    CloseAndWait(app, main, kCannotSave + TableFile());

    EXPECT_TRUE(IsFolder(TableFile()));
    EXPECT_EQ(FilesIn(TableFile() + "\\"), std::vector<std::string>{});
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"One", "sequora"}));
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Two.lnk"});
    const std::string backup = BackupTexts();
    EXPECT_NE(backup.find("\"C:\\apps\\one.exe\" "), std::string::npos) << backup;
    EXPECT_NE(backup.find("two.exe\" "), std::string::npos) << backup;
}

// The roaming application data folder cannot be made (a file has its name): neither table nor
// backup can be written. The user sees the backup error and the status; Windows keeps
// everything; at exit the user is told the table could not be saved.
TEST_F(Fault, AnApplicationDataFolderThatCannotBeMadeLeavesEverythingToWindows) {
    const std::string dataFolder = AppDataFolder() + "Sequora";
    WriteWholeFile(dataFolder, "in the way");
    SeedRunValue(UserRoot(), "One", "C:\\apps\\one.exe");
    testsupport::SaveShortcut(StartupFolder() + "Two.lnk", Program("two.exe"), "");

    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    Answer(app, "Error", "Cannot make backup to " + dataFolder + "\\backups\\StartUp_Backup_", IDOK);
    Answer(app, "Information", "Now you can just close this program", IDOK);
    EXPECT_EQ(main.StatusText(), kLeftToWindows);
    EXPECT_EQ(main.Rows(), Rows{kHeaderRow});
    CloseAndWait(app, main, kCannotSave + dataFolder + "\\StartUpObjects.bin");

    EXPECT_EQ(ReadWholeFile(dataFolder), "in the way");
    EXPECT_EQ(FilesIn(ProgramFolder()), (std::vector<std::string>{"sequora.exe", "two.exe"}));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"One", "sequora"}));
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Two.lnk"});
}

// The machine's Run key cannot be opened: the user is told, without a box at the start, and the
// import goes on with the user's key and the Startup folders. The user's Startup folder is missing:
// it is passed over without a word. Neither is created.
TEST_F(Fault, AMissingMachineRunKeyIsReportedAndAMissingStartupFolderPassedOver) {
    ASSERT_EQ(RegDeleteTreeA(MachineRoot(), kRunKey), ERROR_SUCCESS);
    RemoveTree(StartupFolder());
    ASSERT_FALSE(IsFolder(StartupFolder()));
    SeedRunValue(UserRoot(), "Alpha", "C:\\apps\\alpha.exe");
    const std::string common = Program("common.exe");
    testsupport::SaveShortcut(CommonStartupFolder() + "Common.lnk", common, "");
    PrepareALaterRun();

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return main.StatusText() == "Error opening HKEY_LOCAL_MACHINE key."; }, 5000))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    EXPECT_TRUE(Contains(
        ReadWholeFile(ErrorLogFile()),
        "Error opening HKEY_LOCAL_MACHINE key.  Make sure you have adminitrator rights and that your "
        "antivirus is not blocking this program"));

    // Alpha 5, the own value 6, the common shortcut 7.
    const Rows rows = main.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"+", "Alpha", "C:\\apps\\alpha.exe", "", "5", "Click"}));
    ASSERT_EQ(rows[2].size(), 6u);
    EXPECT_EQ(rows[2][4], "7");
    CloseAndWait(app, main);

    EXPECT_FALSE(testsupport::KeyExists(MachineRoot(), kRunKey));
    EXPECT_FALSE(IsFolder(StartupFolder()));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    EXPECT_EQ(FilesIn(CommonStartupFolder()), std::vector<std::string>{});
    const std::optional<std::string> table = ReadWholeFile(TableFile());
    EXPECT_TRUE(Contains(table, " | Alpha | C:\\apps\\alpha.exe | "));
    EXPECT_TRUE(Contains(table, " | " + rows[2][2] + " | "));
    const std::string backup = BackupTexts();
    EXPECT_NE(backup.find("\"C:\\apps\\alpha.exe\" "), std::string::npos) << backup;
    EXPECT_NE(backup.find("\"" + rows[2][2] + "\" "), std::string::npos) << backup;
}

// A shortcut another program holds open cannot be deleted: it stays in the Startup folder, its
// entry is in the table and the backup all the same, and the user is told. The other shortcut goes.
TEST_F(Fault, AShortcutThatCannotBeDeletedStaysAndIsHeldByTableAndBackupToo) {
    testsupport::SaveShortcut(StartupFolder() + "Free.lnk", Program("free.exe"), "");
    testsupport::SaveShortcut(StartupFolder() + "Held.lnk", Program("held.exe"), "");
    PrepareALaterRun();
    UniqueHandle held = HoldOpen(StartupFolder() + "Held.lnk");
    ASSERT_TRUE(held.Valid()) << GetLastError();

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Held.lnk"});
    held.Reset();
    const std::string stayed =
        "1 start up entries could not be removed from where Windows starts them; the next import takes them "
        "again";
    EXPECT_EQ(main.StatusText(), stayed);
    EXPECT_TRUE(Contains(ReadWholeFile(ErrorLogFile()), stayed));

    const Rows rows = main.Rows();
    ASSERT_EQ(rows.size(), 3u);
    const std::optional<std::string> table = ReadWholeFile(TableFile());
    const std::string backup = BackupTexts();
    for (const char* program : {"free.exe", "held.exe"}) {
        // The target as the table holds it, in its short form where the system makes one.
        std::string path;
        for (size_t row = 1; row < rows.size(); ++row)
            if (rows[row].size() == 6 && SameFile(rows[row][2], ProgramFolder() + program))
                path = rows[row][2];
        ASSERT_FALSE(path.empty()) << program << " is not in the table";
        EXPECT_TRUE(Contains(table, " | " + path + " | ")) << path;
        EXPECT_NE(backup.find("\"" + path + "\" "), std::string::npos) << path << "\n" << backup;
    }
    CloseAndWait(app, main);
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Held.lnk"});
}

// A shortcut taken before comes back (its installer wrote it again) while its kept copy cannot be
// replaced: it stays in Windows, and what the first import kept of it stays too, byte for byte.
TEST_F(Fault, AShortcutThatComesBackKeepsItsFirstOriginalWhenTheCopyCannotBeReplaced) {
    const std::string shortcut = StartupFolder() + "Free.lnk";
    testsupport::SaveShortcut(shortcut, Program("free.exe"), "-first");
    const std::optional<std::string> first = ReadWholeFile(shortcut);
    ASSERT_TRUE(first.has_value());
    PrepareALaterRun();
    {
        Process app = StartSequora();
        MainWindow main = WaitForMainWindow(app);
        ASSERT_NE(main.window, nullptr);
        CloseAndWait(app, main);
    }
    const std::string copy = DataFolder() + "originals\\Startup\\Free.lnk";
    const std::string store = DataFolder() + "originals\\StartUpOriginals.txt";
    const std::string storedName = "46007200650065002e006c006e006b00";  // "Free.lnk" as the store writes it
    ASSERT_EQ(ReadWholeFile(copy), first);
    ASSERT_TRUE(Contains(ReadWholeFile(store), storedName));
    ASSERT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{});

    testsupport::SaveShortcut(shortcut, Program("free.exe"), "-second");
    ASSERT_TRUE(SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));
    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    CloseAndWait(app, main);
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Free.lnk"}) << "not taken without its copy";
    EXPECT_EQ(ReadWholeFile(copy), first);
    EXPECT_TRUE(Contains(ReadWholeFile(store), storedName)) << "the first original is still kept";
}

// A thousand Run values all come in at a later run's import, in their order, delays from 5 on;
// the Run key keeps only the program's own value, and table file and backup hold every one.
TEST_F(Fault, AThousandRunValuesAreAllImported) {
    constexpr int kValues = 1000;
    auto nameOf = [](int i) {
        char name[16];
        std::snprintf(name, sizeof name, "Item%04d", i);
        return std::string(name);
    };
    auto pathOf = [&](int i) { return std::string("C:\\apps\\").append(nameOf(i)).append(".exe"); };
    for (int i = 0; i < kValues; ++i)
        SeedRunValue(UserRoot(), nameOf(i), pathOf(i));
    PrepareALaterRun();

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);

    const Rows rows = main.Rows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(kValues) + 1);
    for (int i = 0; i < kValues; ++i)
        ASSERT_EQ(rows[i + 1],
                  (std::vector<std::string>{"+", nameOf(i), pathOf(i), "", std::to_string(i + 5), "Click"}))
            << "row " << i + 1;
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    const std::string table = ReadWholeFile(TableFile()).value_or("");
    const std::string backup = BackupTexts();
    EXPECT_EQ(table.substr(table.find("\r\n") + 2, 6), "1001\r\n");
    std::string missingInTable, missingInBackup;
    for (int i = 0; i < kValues; ++i) {
        const std::string cells =
            std::string(" | ").append(nameOf(i)).append(" | ").append(pathOf(i)).append(" |  | ");
        if (table.find(cells + std::to_string(i + 5) + " | ") == std::string::npos)
            missingInTable += nameOf(i) + " ";
        if (backup.find(std::string("\"").append(pathOf(i)).append("\" \r\n")) == std::string::npos)
            missingInBackup += nameOf(i) + " ";
    }
    EXPECT_EQ(missingInTable, "");
    EXPECT_EQ(missingInBackup, "");
    CloseAndWait(app, main);
}

// A Run value of 32 KiB comes in whole at a later run's import: the cell, the table file and the
// backup hold every character of its parameters, and the value leaves the Run key.
TEST_F(Fault, A32KiBRunValueIsImportedWhole) {
    const std::string path = "C:\\apps\\long.exe";
    const size_t kValueLength = 32 * 1024 - 1;  // with its terminator, 32 KiB of data
    std::string params;
    for (int i = 0; params.size() + path.size() + 2 < kValueLength; ++i) {
        char piece[16];
        std::snprintf(piece, sizeof piece, " /p%05d", i);
        params += piece;
    }
    params.resize(kValueLength - path.size() - 2);
    const std::string value = "\"" + path + "\"" + params;
    ASSERT_EQ(value.size(), kValueLength);
    SeedRunValue(UserRoot(), "Long", value);
    PrepareALaterRun();

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);

    const Rows rows = main.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"+", "Long", path, params, "5", "Click"}));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    EXPECT_TRUE(
        Contains(ReadWholeFile(TableFile()), "+ | Long | " + path + " | " + params + " | 5 | Click | \r\n"));
    EXPECT_NE(BackupTexts().find("\"" + path + "\" " + params + "\r\n"), std::string::npos);
    CloseAndWait(app, main);
}

// A table of 65,537 rows is more than the grid's 16-bit row count can load: the file is kept aside
// as it was, and the status bar and the error log say where, with no box at the start. The program
// starts with an empty table, takes nothing from Windows in that run, and saves its new table next
// to the kept file.
TEST_F(Fault, ATableOf65537RowsIsKeptAsideByteIdentical) {
    SettingsOfALaterRun();
    SeedRunValue(UserRoot(), "Waiting", "C:\\apps\\waiting.exe");
    Rows items;
    items.reserve(65536);
    for (int i = 0; i < 65536; ++i) {
        const std::string number = std::to_string(i);
        items.push_back(
            {"+", "Item" + number, "C:\\apps\\item" + number + ".exe", "", std::to_string(i + 5), "Click"});
    }
    const std::string table = TableFileText(items);
    items.clear();
    WriteDataFile(TableFile(), table);

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] { return main.StatusText().rfind("The table of start up objects could not be read", 0) == 0; },
        5000))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    EXPECT_EQ(main.Rows(), Rows{kHeaderRow});
    CloseAndWait(app, main);

    const std::vector<std::string> kept = FilesIn(DataFolder(), "StartUpObjects (unreadable *");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(ReadWholeFile(DataFolder() + kept[0]) == table)
        << "the kept file differs from the table it was";
    const std::optional<std::string> saved = ReadWholeFile(TableFile());
    EXPECT_TRUE(saved && saved->size() < 1000) << "the table saved at exit holds the header only";
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"Waiting"});
    const std::optional<std::string> errors = ReadWholeFile(ErrorLogFile());
    EXPECT_TRUE(Contains(errors, "could not be read: Range check error")) << errors.value_or("");
    EXPECT_TRUE(Contains(errors, "The file has been kept as " + DataFolder() + kept[0]))
        << errors.value_or("");
}

// A setting of the wrong type stops the creation of a later start before the table is read: the
// start asks nobody, and what it never read it never writes over, neither the table nor what
// Windows held for its entries.
TEST_F(Fault, ACreationThatStopsEarlyLeavesTheTableAndTheKeptOriginalsAlone) {
    SettingsOfALaterRun();
    const std::string table = TableFileText({{"+", "Old", "C:\\apps\\old.exe", " /o", "5", "Click"}});
    WriteDataFile(TableFile(), table);
    const std::string kept = DataFolder() + "originals\\StartUpOriginals.txt";
    CreateDirectoryA((DataFolder() + "originals").c_str(), nullptr);
    const std::string store = "Sequora kept start up entries 1\r\n";
    WriteWholeFile(kept, store);
    WriteRawValue(UserRoot(), kSettingsKey, "Top", REG_SZ, testsupport::SzBytes("hi"));

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] { return main.StatusText().find("Invalid data type for 'Top'") != std::string::npos; }, 5000))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    CloseAndWait(app, main);

    EXPECT_EQ(ReadWholeFile(TableFile()), table);
    EXPECT_EQ(ReadWholeFile(kept), store);
    EXPECT_TRUE(Contains(ReadWholeFile(ErrorLogFile()), "ERegistryException: Invalid data type for 'Top'"));
}

// A table without settings (a first run that never ended, settings removed): the start loads the
// table and runs its sequence, which marks the log-on session; the settings it writes at exit are
// there for the next start, which is a later run.
TEST_F(Fault, ATableWithoutSettingsIsLoadedAndTheSettingsAreWrittenAtExit) {
    const std::vector<std::string> item = {"+", "Old", "C:\\apps\\old.exe", "", "50", "Click"};
    WriteDataFile(TableFile(), TableFileText({item}));

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.Rows(), (Rows{kHeaderRow, item}));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(main.Button("Stop")) == "Stop"; }, 5000));
    CloseAndWait(app, main);

    for (const char* name : {"Top", "chkEnabled", "chkAutoImport"})
        EXPECT_TRUE(testsupport::ReadRawValue(UserRoot(), kSettingsKey, name).has_value()) << name;
    EXPECT_TRUE(Contains(ReadWholeFile(TableFile()), " | Old | C:\\apps\\old.exe | "));
}

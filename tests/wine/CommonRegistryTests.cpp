// Settings store, Run-key registration and the value list/clear routines, against redirected
// registry roots.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"

using namespace std::string_literals;
using testing::UnorderedElementsAre;
using testsupport::DwordBytes;
using testsupport::KeyExists;
using testsupport::ReadRawValue;
using testsupport::SzBytes;
using testsupport::WriteRawValue;

namespace {

const char* const kSection = "Sequora";
const char* const kSettingsKey = "Software\\Zorvane\\Sequora";

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Active()) << "registry roots could not be redirected"; }

  private:
    testsupport::RegistrySandbox sandbox_;
};

template <typename Fn>
std::string RegistryErrorOf(Fn&& fn) {
    try {
        fn();
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "(no ERegistryException)";
}

// ---- Settings store ---------------------------------------------------------------------------

TEST_F(RegistryTest, ReadsBeforeFirstWriteGiveDefaultsAndCreateNothing) {
    EXPECT_FALSE(AppSettingsExist(kSection));
    EXPECT_EQ(AppReadInteger(kSection, "Top", 100), 100);
    EXPECT_EQ(AppReadInteger(kSection, "Width", -7), -7);
    EXPECT_TRUE(AppReadBool(kSection, "chkEnabled", true));
    EXPECT_FALSE(AppReadBool(kSection, "chkAutoClose", false));
    EXPECT_FALSE(AppSettingsExist(kSection));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Zorvane"));
}

TEST_F(RegistryTest, FirstWriteCreatesTheSection) {
    AppWriteBool(kSection, "chkAutoImport", true);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Zorvane"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(AppSettingsExist(kSection));
    // The section name is part of the path: another section is still missing.
    EXPECT_FALSE(AppSettingsExist("Other"));
}

TEST_F(RegistryTest, FlagsAreStoredAsDwordOneAndZero) {
    struct Case {
        bool value;
        uint32_t stored;
    } cases[] = {{true, 1}, {false, 0}};
    for (const Case& c : cases) {
        AppWriteBool(kSection, "chkMinimized", c.value);
        auto raw = ReadRawValue(HKEY_CURRENT_USER, kSettingsKey, "chkMinimized");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(raw->data, DwordBytes(c.stored));
        EXPECT_EQ(AppReadBool(kSection, "chkMinimized", !c.value), c.value);
    }
}

TEST_F(RegistryTest, AnyNonZeroNumberReadsAsTrue) {
    for (uint32_t stored : {2u, 0x80000000u, 0xFFFFFFFFu}) {
        WriteRawValue(HKEY_CURRENT_USER, kSettingsKey, "chkStartSelf", REG_DWORD, DwordBytes(stored));
        EXPECT_TRUE(AppReadBool(kSection, "chkStartSelf", false)) << stored;
    }
    WriteRawValue(HKEY_CURRENT_USER, kSettingsKey, "chkStartSelf", REG_DWORD, DwordBytes(0));
    EXPECT_FALSE(AppReadBool(kSection, "chkStartSelf", true));
}

TEST_F(RegistryTest, IntegersRoundTripAsTwosComplementDwords) {
    struct Case {
        int32_t value;
        uint32_t stored;
    } cases[] = {{0, 0}, {420, 420}, {-5, 0xFFFFFFFBu}, {INT32_MIN, 0x80000000u}, {INT32_MAX, 0x7FFFFFFFu}};
    for (const Case& c : cases) {
        AppWriteInteger(kSection, "Left", c.value);
        auto raw = ReadRawValue(HKEY_CURRENT_USER, kSettingsKey, "Left");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(raw->data, DwordBytes(c.stored));
        EXPECT_EQ(AppReadInteger(kSection, "Left", 12345), c.value);
    }
}

TEST_F(RegistryTest, MissingValueInExistingSectionGivesDefault) {
    AppWriteInteger(kSection, "Top", 5);
    EXPECT_EQ(AppReadInteger(kSection, "Height", 420), 420);
    EXPECT_TRUE(AppReadBool(kSection, "chkEnabled", true));
}

TEST_F(RegistryTest, ValuesThatAreNotDwordsRaiseInsteadOfGivingTheDefault) {
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
        const char* message;
    } cases[] = {
        {"short text", REG_SZ, SzBytes("12"), "Invalid data type for 'Top'"},
        {"long text", REG_SZ, SzBytes("a text of many bytes"), "Failed to get data for 'Top'"},
        {"four raw bytes", REG_BINARY, "\x01\x02\x03\x04", "Invalid data type for 'Top'"},
        {"eight raw bytes", REG_BINARY, "12345678", "Failed to get data for 'Top'"},
        {"qword", REG_QWORD, "\x01\0\0\0\0\0\0\0"s, "Failed to get data for 'Top'"},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, DwordBytes(1), "Invalid data type for 'Top'"},
        {"truncated dword", REG_DWORD, "\x01\x02", "Failed to get data for 'Top'"},
    };
    for (const Case& c : cases) {
        WriteRawValue(HKEY_CURRENT_USER, kSettingsKey, "Top", c.type, c.data);
        EXPECT_EQ(RegistryErrorOf([] { AppReadInteger(kSection, "Top", 100); }), c.message) << c.what;
        EXPECT_EQ(RegistryErrorOf([] { AppReadBool(kSection, "Top", true); }), c.message) << c.what;
    }
}

TEST_F(RegistryTest, GeneralRoutinesHonourTheCreateFlag) {
    const std::string path = "Software\\Zorvane\\Deep\\Below";
    EXPECT_FALSE(RegWriteInteger(HKEY_CURRENT_USER, path, "N", 1, true, false));
    EXPECT_FALSE(RegWriteBool(HKEY_CURRENT_USER, path, "B", true, true, false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Zorvane"));

    // Reading with may-create creates the key even though the value is missing.
    EXPECT_EQ(RegReadInteger(HKEY_CURRENT_USER, path, "N", true, 9), 9);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, path));

    // Lazy write off flushes before close; the value is there either way.
    EXPECT_TRUE(RegWriteInteger(HKEY_CURRENT_USER, path, "N", 77, false, false));
    EXPECT_TRUE(RegWriteBool(HKEY_CURRENT_USER, path, "B", true, false, false));
    EXPECT_EQ(RegReadInteger(HKEY_CURRENT_USER, path, "N", false, 0), 77);
    EXPECT_TRUE(RegReadBool(HKEY_CURRENT_USER, path, "B", false, false));
}

TEST_F(RegistryTest, KeyPathsWorkUnderTheMachineRootToo) {
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Zorvane\\Sequora"));
    EXPECT_TRUE(RegWriteInteger(HKEY_LOCAL_MACHINE, "Software\\Zorvane\\Sequora", "Top", 3, true, true));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Zorvane\\Sequora"));
    EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, "Software\\Zorvane\\Sequora", "Top", false, 0), 3);
    // The machine's value is not the user's.
    EXPECT_FALSE(AppSettingsExist(kSection));
}

TEST_F(RegistryTest, KeyExistsDoesNotCreate) {
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Zorvane\\Nothing"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Zorvane"));
    WriteRawValue(HKEY_CURRENT_USER, kSettingsKey, "Top", REG_DWORD, DwordBytes(1));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Zorvane"));
}

// ---- Run key ----------------------------------------------------------------------------------

std::optional<std::string> RunValue(const std::string& name) {
    auto raw = ReadRawValue(HKEY_CURRENT_USER, kRunKeyPath, name);
    if (!raw)
        return std::nullopt;
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ)) << name;
    return std::string(raw->data.c_str());
}

TEST_F(RegistryTest, SelfRegistrationWritesTheQuotedExePathUnderItsBareName) {
    const std::string exe = GetAppExeName();
    ASSERT_FALSE(exe.empty());
    const std::string name = ExtractOnlyName(exe);
    EXPECT_TRUE(SameTextAscii(name, "common_tests")) << name;

    SetSelfRunAtStartup(true);
    EXPECT_EQ(RunValue(name), "\"" + exe + "\"");
    SetSelfRunAtStartup(true);
    std::vector<std::string> lines;
    ASSERT_TRUE(RegReadValues(HKEY_CURRENT_USER, kRunKeyPath, false, lines));
    EXPECT_THAT(lines, UnorderedElementsAre(name + "=\"" + exe + "\""));

    SetSelfRunAtStartup(false);
    EXPECT_EQ(RunValue(name), std::nullopt);
    SetSelfRunAtStartup(false);
    EXPECT_EQ(RunValue(name), std::nullopt);
}

TEST_F(RegistryTest, RemovingWhenTheRunKeyIsMissingCreatesNothing) {
    SetRunAtStartup("C:\\Tools\\tool.exe", false);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
}

TEST_F(RegistryTest, ProgramsWithTheSameFileNameShareOneValue) {
    SetRunAtStartup("C:\\One\\tool.exe", true);
    SetRunAtStartup("D:\\Program Files\\Two\\tool.exe", true);
    EXPECT_EQ(RunValue("tool"), "\"D:\\Program Files\\Two\\tool.exe\"");
    SetRunAtStartup("C:\\One\\tool.exe", false);
    EXPECT_EQ(RunValue("tool"), std::nullopt);
}

TEST_F(RegistryTest, RegistrationLeavesOtherValuesAlone) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Other", REG_SZ, SzBytes("other.exe"));
    SetRunAtStartup("C:\\Tools\\tool.exe", true);
    SetRunAtStartup("C:\\Tools\\tool.exe", false);
    EXPECT_EQ(RunValue("Other"), "other.exe");
}

// ---- Value lists ------------------------------------------------------------------------------

const char* const kListKey = "Software\\SequoraList";

TEST_F(RegistryTest, ReadValuesGivesNameValueLines) {
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "A", REG_SZ, SzBytes("x"));
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "B", REG_SZ, SzBytes(""));
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "", REG_SZ, SzBytes("default"));
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "Exp", REG_EXPAND_SZ, SzBytes("%SystemRoot%\\a.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "Eq", REG_SZ, SzBytes("a=b"));
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "NoTerminator", REG_SZ, "abc");
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "Empty", REG_NONE, "");
    WriteRawValue(HKEY_CURRENT_USER, kListKey, "EmptyBinary", REG_BINARY, "");

    std::vector<std::string> lines = {"stale"};
    ASSERT_TRUE(RegReadValues(HKEY_CURRENT_USER, kListKey, false, lines));
    EXPECT_THAT(lines, UnorderedElementsAre("A=x", "B=", "=default", "Exp=%SystemRoot%\\a.exe", "Eq=a=b",
                                            "NoTerminator=abc", "Empty=", "EmptyBinary="));
}

TEST_F(RegistryTest, ReadValuesReadsLongNamesAndDataWhole) {
    const std::string longName(300, 'n');
    const std::string longData = "\"" + std::string(70000, 'd') + "\" /x";
    WriteRawValue(HKEY_CURRENT_USER, kListKey, longName, REG_SZ, SzBytes(longData));
    std::vector<std::string> lines;
    ASSERT_TRUE(RegReadValues(HKEY_CURRENT_USER, kListKey, false, lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], longName + "=" + longData);
}

TEST_F(RegistryTest, ReadValuesRaisesForNonTextAndLeavesTheListAlone) {
    struct Case {
        DWORD type;
        std::string data;
    } cases[] = {
        {REG_DWORD, DwordBytes(1)},
        {REG_BINARY, "\x01"},
        {REG_MULTI_SZ, "a\0b\0\0"s},
        {REG_QWORD, std::string(8, '\0')},
    };
    for (const Case& c : cases) {
        WriteRawValue(HKEY_CURRENT_USER, kListKey, "A", REG_SZ, SzBytes("x"));
        WriteRawValue(HKEY_CURRENT_USER, kListKey, "Number", c.type, c.data);
        std::vector<std::string> lines = {"kept"};
        EXPECT_EQ(RegistryErrorOf(
                      [&] { static_cast<void>(RegReadValues(HKEY_CURRENT_USER, kListKey, false, lines)); }),
                  "Invalid data type for 'Number'")
            << c.type;
        EXPECT_THAT(lines, testing::ElementsAre("kept"));
    }
}

TEST_F(RegistryTest, ReadValuesOfMissingKey) {
    std::vector<std::string> lines = {"kept"};
    EXPECT_FALSE(RegReadValues(HKEY_LOCAL_MACHINE, kRunKeyPath, false, lines));
    EXPECT_THAT(lines, testing::ElementsAre("kept"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRunKeyPath));

    EXPECT_TRUE(RegReadValues(HKEY_LOCAL_MACHINE, kRunKeyPath, true, lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kRunKeyPath));
}

TEST_F(RegistryTest, DeleteAllValuesClearsValuesButNotSubKeys) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "A", REG_SZ, SzBytes("a.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "B", REG_DWORD, DwordBytes(4));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "", REG_SZ, SzBytes("default"));
    WriteRawValue(HKEY_CURRENT_USER, std::string(kRunKeyPath) + "\\Sub", "S", REG_SZ, SzBytes("s"));

    EXPECT_TRUE(DeleteAllValues(HKEY_CURRENT_USER, kRunKeyPath));
    std::vector<std::string> lines = {"stale"};
    ASSERT_TRUE(RegReadValues(HKEY_CURRENT_USER, kRunKeyPath, false, lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, std::string(kRunKeyPath) + "\\Sub", "S")->data, SzBytes("s"));

    // Again on the now empty key: still opened, nothing to do.
    EXPECT_TRUE(DeleteAllValues(HKEY_CURRENT_USER, kRunKeyPath));
}

TEST_F(RegistryTest, DeleteAllValuesOfMissingKeyCreatesNothing) {
    EXPECT_FALSE(DeleteAllValues(HKEY_LOCAL_MACHINE, kRunKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft"));
}

TEST_F(RegistryTest, LeadingBackslashNamesTheSameKey) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "A", REG_SZ, SzBytes("a.exe"));
    std::vector<std::string> lines;
    ASSERT_TRUE(RegReadValues(HKEY_CURRENT_USER, std::string("\\") + kRunKeyPath, false, lines));
    EXPECT_THAT(lines, UnorderedElementsAre("A=a.exe"));
}

}  // namespace

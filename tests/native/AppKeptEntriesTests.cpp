#include <gtest/gtest.h>

#include <string>

#include "app/KeptEntries.h"
#include "common/Exceptions.h"

namespace {

KeptEntry Value(const std::string& name, const std::string& data, uint32_t rowKey = 1) {
    KeptEntry entry;
    entry.rowKey = rowKey;
    entry.place = EntryPlace::UserRun;
    entry.name = name;
    for (char c : name)
        entry.rawName.append({c, '\0'});
    entry.type = 1;  // REG_SZ
    entry.data = data;
    entry.imported = {name, "C:\\p.exe", " /x"};
    entry.current = entry.imported;
    return entry;
}

}  // namespace

TEST(KeptEntries, KeepFindAndRowsByIdentity) {
    KeptEntries store;
    EXPECT_TRUE(store.Empty());
    const uint32_t first = store.Keep(Value("Tool", "a")).id;
    const uint32_t second = store.Keep(Value("Other", "b", 2)).id;
    EXPECT_NE(first, second);
    // The same entry of Windows' (its name in another case) replaces the kept one under its id.
    KeptEntry again = Value("TOOL", "new data", 3);
    EXPECT_EQ(store.Keep(again).id, first);
    ASSERT_EQ(store.Entries().size(), 2u);
    ASSERT_NE(store.Find(EntryIdentity(EntryPlace::UserRun, "tool")), nullptr);
    EXPECT_EQ(store.Find(EntryIdentity(EntryPlace::UserRun, "tool"))->data, "new data");
    // Another place is another entry, whatever the name.
    EXPECT_EQ(store.Find(EntryIdentity(EntryPlace::MachineRun, "tool")), nullptr);

    EXPECT_EQ(store.NewRowKey(), 4u);
    store.Keep(Value("Third", "c", 2));
    EXPECT_EQ(store.OfRow(2).size(), 2u);
    store.RemoveRow(2);
    EXPECT_EQ(store.Entries().size(), 1u);
    store.Remove(EntryIdentity(EntryPlace::UserRun, "Tool"));
    EXPECT_TRUE(store.Empty());
}

TEST(KeptEntries, TheStoreReadsBackByteForByte) {
    KeptEntries store;
    // Names and data may hold anything the registry and the file system allow: tabs, line
    // breaks, zeros, bytes above 127.
    KeptEntry odd = Value(std::string("we\tird\r\nname\0x", 14), std::string("\0\x01\xff\"%|", 6), 7);
    odd.rawName = std::string("\x1f\x04\0\0", 4);
    odd.current.params = " | not a cell";
    store.Keep(odd);
    KeptEntry shortcut;
    shortcut.rowKey = 9;
    shortcut.place = EntryPlace::CommonStartup;
    shortcut.name = "Tool.lnk";
    shortcut.type = 0x21;
    shortcut.data = std::string("L\0\0\0\x01\x14\x02", 7);
    store.Keep(shortcut);

    const std::string text = store.Serialize();
    EXPECT_EQ(text.rfind("Sequora kept start up entries 1\r\n", 0), 0u);
    KeptEntries read;
    read.Parse(text);
    EXPECT_EQ(read.Entries(), store.Entries());
    KeptEntries empty;
    empty.Parse(KeptEntries().Serialize());
    EXPECT_TRUE(empty.Empty());
}

TEST(KeptEntries, AnythingElseIsRefusedAndChangesNothing) {
    KeptEntries store;
    store.Keep(Value("Kept", "x"));
    const std::string good = store.Serialize();
    const std::string header = "Sequora kept start up entries 1\r\n";
    const std::string line = good.substr(header.size());
    const std::string fields = line.substr(0, line.size() - 2);
    auto withField = [&](int index, const std::string& value) {
        std::string result;
        size_t start = 0;
        for (int i = 0;; ++i) {
            const size_t end = fields.find('\t', start);
            result += i == index ? value : fields.substr(start, end - start);
            if (end == std::string::npos)
                break;
            result += '\t';
            start = end + 1;
        }
        return header + result + "\r\n";
    };
    const std::string cases[] = {
        "",
        "Sequora kept start up entries 2\r\n",
        good.substr(0, good.size() - 2),  // the last line without its break
        header + "entry\t1\r\n",
        withField(0, "value"),
        withField(1, "x1"),
        withField(2, "4294967296"),
        withField(3, "6"),
        withField(5, "abc"),
        withField(6, "4G"),
        header + line + line,  // the same id and entry twice
    };
    for (const std::string& text : cases) {
        KeptEntries read;
        read.Keep(Value("Before", "b"));
        EXPECT_THROW(read.Parse(text), EInOutError) << text;
        ASSERT_EQ(read.Entries().size(), 1u) << text;
        EXPECT_EQ(read.Entries()[0].name, "Before");
    }
    // Lines may end with LF alone, as an editor may leave them.
    KeptEntries lf;
    std::string unix = good;
    for (size_t at; (at = unix.find("\r\n")) != std::string::npos;)
        unix.erase(at, 1);
    lf.Parse(unix);
    EXPECT_EQ(lf.Entries(), store.Entries());
}

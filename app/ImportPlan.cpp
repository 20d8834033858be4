#include "app/ImportPlan.h"

#include <unordered_map>

#include "common/ZorvaneText.h"

namespace {

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// A cell text the table file would not give back as it was written.
bool Storable(const std::string& text, const std::string& separator) {
    return !HasLineBreak(text) && (separator.empty() || text.find(separator) == std::string::npos);
}

bool StartsWithQuote(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) > ' ')
            return c == '"';
    }
    return false;
}

// Paths and parameters compare with A-Z folded only, as the program's comparisons do.
std::string CommandKey(const std::string& path, const std::string& params) {
    return LowerAscii(path) + '\n' + LowerAscii(params);
}

const char kRunDll[] = "rundll32.exe";

}  // namespace

std::string EntryName(const CollectedEntry& entry) {
    if (entry.source != CollectedEntry::Source::RunValue)
        return {};
    return entry.text.substr(0, entry.text.find('='));
}

void SplitEntry(const CollectedEntry& entry,
                const ImportContext& context,
                std::string& path,
                std::string& params) {
    path.clear();
    params.clear();
    if (entry.source == CollectedEntry::Source::Shortcut) {
        // The shortcut's arguments come along; one whose target is no file is started through
        // its kept copy, which is then the item's program.
        if (!entry.text.empty()) {
            path = entry.text;
            if (!entry.shortcutArgs.empty())
                params = " " + entry.shortcutArgs;
        } else if (entry.shortcutLoaded) {
            path = entry.keptShortcut;
        }
        if (LowerAscii(ExtractFileName(path)) == kRunDll)
            path = "RunDLL32.exe";
        return;
    }

    // The data after the first "=" of the line; the value name cannot hold one.
    const std::string value = CopyAfter(entry.text, "=");
    if (value.empty())
        return;
    const bool quoted = StartsWithQuote(value);
    bool whole = false;
    if (quoted || !context.programExists ||
        !SplitUnquotedCommandLine(value, context.expand, context.programExists, path, params)) {
        SeparatePathFromParams(value, path, params);
        whole = !quoted;
    }

    // Every rundll32 entry starts the same program; what tells them apart is what follows it: the
    // value's text after "rundll32.exe" and the one character after it (a blank, or the closing
    // quote of a quoted path). Only a value whose program is rundll32 is one: a name or an
    // argument that mentions it makes no other program into it.
    // An unquoted value kept whole (no prefix named a file) names its program up to its first blank.
    const std::string program = whole ? path.substr(0, path.find_first_of(" \t")) : path;
    if (LowerAscii(ExtractFileName(program)) != kRunDll)
        return;
    const size_t found = LowerAscii(value).find(kRunDll);
    path = "RunDLL32.exe";
    const size_t start = found + sizeof kRunDll - 1 + 1;
    params = start < value.size() ? value.substr(start) : std::string();
}

ImportPlan PlanImport(const std::vector<CollectedEntry>& entries,
                      const std::vector<StartupItem>& table,
                      const std::vector<HeldEntry>& held,
                      const ImportContext& context) {
    std::unordered_map<std::string, const HeldEntry*> heldByIdentity;
    for (const HeldEntry& entry : held)
        if (entry.row >= 1 && entry.row <= static_cast<int>(table.size()))
            heldByIdentity.emplace(entry.identity, &entry);
    // Rows by what they start: existing rows by their number, new items by -(index + 1).
    std::unordered_map<std::string, int> byCommand;
    byCommand.reserve(table.size() + entries.size());
    for (size_t r = 0; r < table.size(); ++r)
        byCommand.emplace(CommandKey(table[r].path, table[r].params), static_cast<int>(r) + 1);

    ImportPlan plan;
    plan.entries.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const CollectedEntry& entry = entries[i];
        EntryPlan result;
        plan.entries.push_back(result);
        EntryPlan& p = plan.entries.back();
        if (entry.notText) {
            p.outcome = EntryOutcome::NotText;
            continue;
        }
        if (entry.unrepresentable) {
            p.outcome = EntryOutcome::Unrepresentable;
            continue;
        }
        SplitEntry(entry, context, p.path, p.params);
        const std::string name = EntryName(entry);
        if (p.path.empty()) {
            p.outcome = EntryOutcome::Unreadable;
            continue;
        }
        if (SameTextAscii(p.path, context.ownExe)) {
            p.outcome = EntryOutcome::OwnProgram;
            p.removable = !entry.placeReadOnly;
            continue;
        }
        if (!Storable(name, context.separator) || !Storable(p.path, context.separator) ||
            !Storable(p.params, context.separator)) {
            p.outcome = EntryOutcome::NotStorable;
            continue;
        }

        // The same entry of Windows' (a program that writes its value back at every start), or
        // one that starts what a row starts already.
        if (auto it = heldByIdentity.find(entry.Identity()); it != heldByIdentity.end()) {
            const HeldEntry& known = *it->second;
            p.outcome = EntryOutcome::Held;
            p.row = known.row;
            p.removable = !entry.placeReadOnly;
            p.commandChanged = p.path != known.imported.path || p.params != known.imported.params;
            const StartupItem& row = table[static_cast<size_t>(known.row) - 1];
            p.rowTakesCommand =
                p.commandChanged && row.path == known.imported.path && row.params == known.imported.params;
            continue;
        }
        const std::string key = CommandKey(p.path, p.params);
        if (auto it = byCommand.find(key); it != byCommand.end()) {
            p.outcome = EntryOutcome::Held;
            if (it->second > 0)
                p.row = it->second;
            else
                p.item = -it->second - 1;
            p.removable = !entry.placeReadOnly;
            continue;
        }
        if (entry.placeReadOnly) {
            p.outcome = EntryOutcome::LeftToWindows;
            continue;
        }
        p.outcome = EntryOutcome::Added;
        p.removable = true;
        p.item = static_cast<int>(plan.newItems.size());
        byCommand.emplace(key, -(p.item + 1));
        plan.newItems.push_back(StartupItem{entry.disabledByWindows ? "-" : "+", name, p.path, p.params,
                                            IntToText(static_cast<int32_t>(i) + 5), "Click"});
    }
    return plan;
}

bool IsDisabledByStartupApproved(const std::string& binaryData) {
    return !binaryData.empty() && (static_cast<unsigned char>(binaryData[0]) & 1u) != 0;
}

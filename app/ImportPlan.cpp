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

}  // namespace

bool MayRemoveSource(EntryOutcome outcome) {
    return outcome == EntryOutcome::Added || outcome == EntryOutcome::HeldAlready ||
           outcome == EntryOutcome::OwnProgram;
}

std::string EntryName(const CollectedEntry& entry) {
    if (entry.source != CollectedEntry::Source::RunValue)
        return {};
    return entry.text.substr(0, entry.text.find('='));
}

void SplitEntry(const CollectedEntry& entry, std::string& path, std::string& params) {
    path.clear();
    params.clear();
    if (entry.source == CollectedEntry::Source::RunValue) {
        // The data after the first "=" of the line; the value name cannot hold one.
        std::string value = CopyAfter(entry.text, "=");
        if (!value.empty())
            SeparatePathFromParams(value, path, params);
    } else {
        // A shortcut target is a path alone, even when it holds an "=".
        path = entry.text;
    }

    // Every rundll32 entry starts the same program; what tells them apart is what follows it.
    // The name is searched too, and the character after "rundll32.exe" (a blank or the closing
    // quote) is left out.
    const std::string kRunDll = "rundll32.exe";
    size_t found = LowerAscii(entry.text).find(kRunDll);
    if (found != std::string::npos) {
        path = "RunDLL32.exe";
        size_t start = found + kRunDll.size() + 1;
        params = start < entry.text.size() ? entry.text.substr(start) : std::string();
    }
}

ImportPlan PlanImport(const std::vector<CollectedEntry>& entries,
                      const std::vector<StartupItem>& table,
                      const std::string& ownExe,
                      const std::string& separator) {
    // Paths compare with A-Z folded only; the parameters of every item held per path tell a
    // duplicate that is already held from one that would be lost.
    std::unordered_map<std::string, std::vector<std::string>> held;
    held.reserve(table.size() + entries.size());
    for (const StartupItem& item : table)
        held[LowerAscii(item.path)].push_back(LowerAscii(item.params));

    ImportPlan plan;
    plan.outcomes.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const CollectedEntry& entry = entries[i];
        if (entry.notText) {
            plan.outcomes.push_back(EntryOutcome::NotText);
            continue;
        }
        std::string path, params;
        SplitEntry(entry, path, params);
        std::string name = EntryName(entry);

        EntryOutcome outcome;
        if (path.empty()) {
            outcome = EntryOutcome::Unreadable;
        } else if (SameTextAscii(path, ownExe)) {
            outcome = EntryOutcome::OwnProgram;
        } else if (!Storable(name, separator) || !Storable(path, separator) || !Storable(params, separator)) {
            outcome = EntryOutcome::NotStorable;
        } else if (auto it = held.find(LowerAscii(path)); it != held.end()) {
            std::string lowerParams = LowerAscii(params);
            bool same = false;
            for (const std::string& p : it->second)
                same = same || p == lowerParams;
            outcome = same ? EntryOutcome::HeldAlready : EntryOutcome::SamePathOtherParams;
        } else {
            outcome = EntryOutcome::Added;
            held[LowerAscii(path)].push_back(LowerAscii(params));
            plan.newItems.push_back(StartupItem{entry.disabledByWindows ? "-" : "+", name, path, params,
                                                IntToText(static_cast<int32_t>(i) + 5), "Click"});
        }
        plan.outcomes.push_back(outcome);
    }
    return plan;
}

bool IsDisabledByStartupApproved(const std::string& binaryData) {
    return !binaryData.empty() && (static_cast<unsigned char>(binaryData[0]) & 1u) != 0;
}

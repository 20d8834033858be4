// Reads arbitrary bytes as the store of kept start-up entries. Whatever the input, reading may
// only refuse it with the store's own error; a store that was read writes back a text that reads
// into the same entries and writes the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/KeptEntries.h"
#include "common/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KeptEntries store;
    try {
        store.Parse(text);
    } catch (const EInOutError&) {
        if (!store.Empty())
            std::abort();  // a refused text changes nothing
        return 0;
    }
    const std::string written = store.Serialize();
    KeptEntries again;
    again.Parse(written);
    if (again.Entries() != store.Entries() || again.Serialize() != written)
        std::abort();
    return 0;
}

// Thumbprint lists: whatever is pasted, the result is consistent, and a valid list reads back the same
// from its own lower-case hex.
#include "FuzzCheck.h"
#include "core/ThumbprintList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ThumbprintList list = ParseThumbprintList(text);
    switch (list.status) {
    case ThumbprintList::Status::None:
        FUZZ_CHECK(text.empty() && list.thumbprints.empty());
        break;
    case ThumbprintList::Status::Malformed:
        FUZZ_CHECK(!text.empty() && list.thumbprints.empty());
        for (std::uint8_t byte : {0, 0xff})
            FUZZ_CHECK(!list.Allows(Thumbprint{byte}));
        break;
    case ThumbprintList::Status::Valid: {
        FUZZ_CHECK(!list.thumbprints.empty());
        std::string again;
        for (const Thumbprint& thumbprint : list.thumbprints) {
            FUZZ_CHECK(list.Allows(thumbprint));
            again += ThumbprintHex(thumbprint) + ";";
        }
        const ThumbprintList reread = ParseThumbprintList(again);
        FUZZ_CHECK(reread.status == ThumbprintList::Status::Valid);
        FUZZ_CHECK(reread.thumbprints == list.thumbprints);
        break;
    }
    }
    return 0;
}

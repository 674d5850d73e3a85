// Any bytes, as from a file or a unit's reply, go to the image reader. It must fail with one
// of its texts or accept an image that writes back as it was read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "config/ConfigImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    UnitConfig config;
    std::memset(&config, 0, sizeof config);
    std::string errorText;
    if (!ReadConfigImage(config, in, errorText)) {
        for (const char* text : {kImageIncompleteText, kImageVersionText, kImageChecksumText,
                                 kImageUnreadableText})
            if (errorText == text) return 0;
        std::abort();
    }

    std::ostringstream out;
    if (!WriteConfigImage(config, out)) std::abort();
    const std::string written = out.str();
    if (bytes.size() < kImageSize || written.size() != kImageSize) std::abort();
    // The magic and the reserved words are not checked on reading, so the writer's own
    // values may differ there; every other byte must come back.
    constexpr std::size_t kCheckedFrom = offsetof(ImageHeader, version);
    constexpr std::size_t kCheckedTo = offsetof(ImageHeader, reserved);
    if (written.compare(kCheckedFrom, kCheckedTo - kCheckedFrom, bytes, kCheckedFrom,
                        kCheckedTo - kCheckedFrom) != 0 ||
        written.compare(sizeof(ImageHeader), kUnitConfigSize, bytes, sizeof(ImageHeader),
                        kUnitConfigSize) != 0)
        std::abort();
    return 0;
}

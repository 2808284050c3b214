// Start-up's option parsing over arbitrary arguments (NUL-separated in the input).
#include "instrument/CommandLine.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    std::vector<const char *> argv{"tqx", text.data()};
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '\0')
            argv.push_back(&text[i + 1]);
    decideStartup(SplitCommandLine(int(argv.size()), argv.data(), 5));
    return 0;
}

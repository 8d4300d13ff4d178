// Label files of any content: a file that is taken gives every name an address and every
// address of a label its name (ld65 repeats cheap local names), one that is refused leaves the
// labels there were.
#include "fuzz_support.h"

#include "debugger/labels.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    require(read_labels("al 0300 .before\n").empty(), "a plain label is taken");
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!read_labels(text).empty()) {
        require(label_addresses.size() == 1 && label_addresses.count("before"), "a refused file changes nothing");
        return 0;
    }
    for (const auto& [name, address] : label_addresses) {
        uint16_t found = 0;
        require(parse_address(name, found) && found == address, "a name is its address");
        require(parse_address("." + name, found) && found == address, "with its dot too");
        require(label_names.count(address), "its address has a name");
    }
    for (const auto& [address, name] : label_names) {
        char jsr[16];
        std::snprintf(jsr, sizeof jsr, "JSR $%04X", address);
        require(with_labels(jsr) == "JSR " + name, "an operand shows its label");
        require(label_addresses.count(name), "its name has an address (the first of a name used again)");
    }
    return 0;
}

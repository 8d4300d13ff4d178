#include "frontend/headless/steps.h"

#include "machine/typist.h"

#include <cctype>
#include <cstdio>

namespace {

// Resolves the escapes of --type.
bool unescape(const std::string& text, std::string& out)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        char next = i + 1 < text.size() ? text[++i] : 0;
        if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == '\\')
            out += '\\';
        else if (next == '^' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1])))
            out += char(std::toupper(static_cast<unsigned char>(text[++i])) - '@');
        else
            return false;
    }
    return true;
}

// Each key event waits for the program to read its row; a program that stops reading the
// keyboard for `limit` cycles ends the step.
int type_step(const std::string& text, uint64_t limit)
{
    std::string missing = type_text(text);
    if (!missing.empty()) {
        type_cancel();
        std::fprintf(stderr, "quarzel: the OSI keyboard has no key for '%c'\n", missing[0]);
        return 2;
    }
    while (type_busy()) {
        uint64_t progress = type_progress();
        if (!run_until([&] { return type_progress() != progress; }, limit)) {
            type_cancel();
            std::fprintf(stderr, "quarzel: --type: the program read no key for %llu cycles\n",
                         (unsigned long long)limit);
            return 3;
        }
        if (!Abort)
            return 0;
    }
    return 0;
}

} // namespace

std::string parse_type(Step& s)
{
    return unescape(s.values[0], s.text) ? "" : "has an unknown escape: " + s.values[0];
}

int run_type(const Step& s) { return type_step(s.text, options.limit); }

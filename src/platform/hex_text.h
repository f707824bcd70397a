// Numbers written in hexadecimal, as Windows writes its codes and language identifiers: "0x0409",
// "0x800B0100". No platform header.
#pragma once

#include <cstdio>
#include <string>

// value as "0x" and at least digits upper-case hexadecimal digits.
inline std::string hexNumber(unsigned long value, int digits)
{
    char text[24];
    (void)std::snprintf(text, sizeof(text), "0x%0*lX", digits, value);
    return text;
}

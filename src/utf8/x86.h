#pragma once

#include "simd.h"

#if defined(__x86_64__)
#define TAVRINEL_UTF8_X86 1
#else
#define TAVRINEL_UTF8_X86 0
#endif

#if TAVRINEL_UTF8_X86
namespace tavrinel::utf8::x86
{

bool hasAvx2();
bool validAvx2(const unsigned char *bytes, std::size_t size);
Tally classifySse2(const unsigned char *bytes, std::size_t size, BreakSet set, Surroundings &around,
                   Window *windows);
Tally classifyAvx2(const unsigned char *bytes, std::size_t size, BreakSet set, Surroundings &around,
                   Window *windows);

} // namespace tavrinel::utf8::x86
#endif

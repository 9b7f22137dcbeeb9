// How a setting stored as text reads as a number.
#ifndef SKEIND_OBSERVE_SETTING_NUMBER_H
#define SKEIND_OBSERVE_SETTING_NUMBER_H

#include <stdint.h>

// A signed integer in decimal, in hexadecimal after "0x", or in octal after
// a leading 0, as a 32-bit value (so "0x80000000" is the lowest int32).
// Spaces around it are allowed; anything else, or a value that needs more
// than 32 bits, is not a number and gives 0.
int32_t SettingNumberOfText(const char* text);

#endif

#pragma once
// Integer and handle types with the widths the data file and the stored settings use.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = int;
using LPARAM = std::uintptr_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

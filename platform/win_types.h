// Win32-shaped scalar types and constants that the system's interfaces keep.
#pragma once

#include <cstdint>

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using UINT = unsigned int;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr WORD LoWord(WPARAM v) {
  return static_cast<WORD>(v & 0xFFFF);
}
inline constexpr WORD HiWord(WPARAM v) {
  return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline constexpr WPARAM MakeWParam(WORD lo, WORD hi) {
  return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16);
}

#pragma once

// Where the launcher loads DLLs from. Windows looks for a DLL named without a
// path beside the program and in the current directory too, where anyone who
// can write there could plant one; the launcher narrows that before anything
// loads a DLL for it.

#include <windows.h>

#include "launch/launch_types.h"

// Narrows the search as far as this Windows allows, looking the function up in
// `kernel32` at run time: importing it would keep the launcher from loading at
// all on a Windows without it.
DllSearch LimitDllSearch(HMODULE kernel32);

// The system DLL `fileName` (L"user32.dll"), loaded by its full System32 path,
// which every Windows accepts (LOAD_LIBRARY_SEARCH_SYSTEM32 needs the same
// update as above). Null when it cannot be loaded.
HMODULE LoadSystemDll(const wchar_t* fileName);

// `address`, from GetProcAddress, as the function type it is known to have.
// GCC accepts a cast between unrelated function types only through
// void (*)(), which stands for "any function".
template <typename Function>
Function AsFunction(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

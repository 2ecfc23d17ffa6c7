// Code comes only from System32. A DLL that is not one of Windows' KnownDLLs
// is otherwise looked for in the program's folder first, and a Downloads
// folder is exactly where someone can plant one under a system name.
#pragma once

#include <windows.h>

// Restricts every later DLL search of this process to System32, the system's
// own loads by bare name included. Windows before 8 lacks the call unless
// updated; there the search stays as it was.
void RestrictDllSearchToSystem32();

// A function of a System32 DLL, loaded by its full path and kept loaded for
// the rest of the process; null when either cannot be had.
FARPROC FindSystemFunction(char const* library, char const* function);

// A function found by name, as the type it has. The cast goes through
// void (*)() because a FARPROC's own type says nothing of the call.
template <typename Function>
Function AsFunction(FARPROC found) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

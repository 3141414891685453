// Where the program's own files live: everything it reads at start-up (GT, Setting.ini,
// default.tfolder, imglib) sits beside the executable.
#pragma once

#include <string>

// Full path of the running executable; empty when the system cannot report it.
std::wstring ExecutablePath();

// Directory of the running executable with a trailing backslash; empty when the system cannot
// report the module path.
std::wstring ExecutableDirectory();

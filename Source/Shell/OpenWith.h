// The programs the system has registered to open files: the open commands of a programmatic
// identifier or registered application, the user's open-with list of an extension, and every
// application under HKEY_CLASSES_ROOT\Applications.
//
// Each reader appends program paths (arguments and enclosing quotes removed, environment variables
// expanded) to `list`, skipping a path that is already in it (exact, case-sensitive comparison), so
// the list keeps the order in which programs were first found.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Longest program path kept (the shell's MAX_PATH less its NUL): a longer one is skipped, because
// cutting it would name another file.
constexpr size_t kMaxOpenWithPathChars = MAX_PATH - 1;

// The program path of a verb's command line: the arguments removed, enclosing quotes removed and
// environment variables expanded. Empty when nothing is left, or when the path before or after
// expanding would not fit kMaxOpenWithPathChars (a cut path would name another file).
std::wstring ProgramOfCommand(std::wstring command);

// For every verb under `root`\`name`\shell, in the order the registry lists them, the program of
// the verb's "command" default value (REG_SZ or REG_EXPAND_SZ). Verbs without a readable command,
// or whose program path is empty or too long, are skipped. False when `name` is null or empty or
// `root`\`name`\shell cannot be opened; true otherwise.
bool CollectVerbCommands(HKEY root, const wchar_t* name, std::vector<std::wstring>& list);

// The programs of the extension `extension` (given without its dot) from the user's Explorer
// FileExts key: first each application named in its OpenWithList (string values, through
// HKEY_CLASSES_ROOT\Applications\<exe>), then each programmatic identifier named in its
// OpenWithProgids (value names, through HKEY_CLASSES_ROOT\<progid>). False when `extension` is
// null or empty or the user has no OpenWithList key for it.
bool CollectOpenWithApps(std::vector<std::wstring>& list, const wchar_t* extension);

// The programs of every application registered under HKEY_CLASSES_ROOT\Applications, in the
// registry's order. False when that key cannot be opened.
bool CollectAllApps(std::vector<std::wstring>& list);

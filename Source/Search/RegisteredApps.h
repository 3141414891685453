// The programs registered with the system under HKEY_CLASSES_ROOT\Applications: what the result
// view lists in its registered applications mode. Runs on a worker thread; reads the registry only.
#pragma once

#include <atomic>
#include <functional>
#include <string>

// The program path of a verb's command line: the arguments removed, enclosing quotes removed and
// environment variables expanded. Empty when nothing is left or the path would not fit in
// MAX_PATH - 1 characters (a cut path would name another file).
std::wstring ProgramOfCommand(const std::wstring& command);

// Reports, for every application key and every verb of it ("<app>\shell\<verb>\command"), the
// program path of the verb's command, each distinct path once (exact comparison) in registry
// order. Keys without a readable command are skipped; `stop` is read after every key.
void ListRegisteredApps(const std::atomic<bool>& stop, const std::function<void(const std::wstring&)>& report);

// The programs registered with the system under HKEY_CLASSES_ROOT\Applications: what the result
// view lists in its registered applications mode. Runs on a worker thread; reads the registry only.
#pragma once

#include <atomic>
#include <functional>
#include <string>

// Reports, for every application key and every verb of it ("<app>\shell\<verb>\command"), the
// program path of the verb's command (ProgramOfCommand, Shell/OpenWith.h), each distinct path once
// (exact comparison) in registry order. Keys without a readable command are skipped; `stop` is
// read after every key.
void ListRegisteredApps(const std::atomic<bool>& stop, const std::function<void(const std::wstring&)>& report);

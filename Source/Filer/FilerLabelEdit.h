// Rules of renaming a file from the filer's label editing.
#pragma once

#include <string>

// True when `text` can stand as one file name inside a directory: not empty, no separator, no
// character that file names cannot hold (: * ? " < > | and control characters), and neither "."
// nor "..". Anything else would leave the directory or fail half-way.
bool IsPlainFileName(const std::wstring& text);

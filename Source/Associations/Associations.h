// The project file types this program registers with the shell, for the current user only: the
// keys live under HKEY_CURRENT_USER\Software\Classes, which the shell merges into
// HKEY_CLASSES_ROOT, so no administrator rights are needed. Layout written for an extension `ext`
// (without its dot; the program uses "tfolder", "fol" and "tf"), every value a REG_SZ default:
//
//   .ext                          "extfile"
//   .ext\ShellNew                 "" and "NullFile" = ""  (the New menu's empty-file template)
//   extfile                       "テッサラフォルダ"
//   extfile\DefaultIcon           "\"<exe>\",0"
//   extfile\Shell                 "Open"
//   extfile\Shell\Open            "Open"
//   extfile\Shell\Open\Command    "\"<exe>\" \"%1\""
//
// Both parts of the open command are quoted, so that neither a program folder nor a project path
// with blanks is split. Removing takes away only these values, and a key only when nothing else is
// left in it. Every writer appends the keys it could not write to `failed`.
#pragma once

#include <string>
#include <vector>

// The extensions of the project file, in the order the first-run dialog offers them.
extern const wchar_t* const kProjectExtensions[3];

// "\"<exe>\" \"%1\"" and "\"<exe>\",0" for the executable `exe`.
std::wstring AssociationOpenCommand(const std::wstring& exe);
std::wstring AssociationDefaultIcon(const std::wstring& exe);

// Writes the layout above for the running executable.
void RegisterAssociation(const std::wstring& extension, std::vector<std::wstring>& failed);
// Removes what RegisterAssociation and AddShellNew wrote for `extension`; ".ext" and its template
// only while ".ext" still names "extfile".
void DeleteAssociation(const std::wstring& extension, std::vector<std::wstring>& failed);
// Whether the user's ".ext" names this program's class "extfile".
bool IsAssociated(const std::wstring& extension);
// Adds the New menu template to ".ext". False when ".ext" does not exist.
bool AddShellNew(const std::wstring& extension, std::vector<std::wstring>& failed);
// Whether the user's ".ext\ShellNew" holds the value "NullFile".
bool HasShellNew(const std::wstring& extension);

// Whether the user's class "extfile" opens files with the executable `exe` (the command above).
bool IsAssociatedWith(const std::wstring& extension, const std::wstring& exe);
// What the installer's association page asks for (the program's /associate switch): the type
// "tfolder" with its New menu template, written as the first-run dialog writes them; the other
// extensions are left to the dialog, as other programs use them too.
void AssociateProjectFiles(std::vector<std::wstring>& failed);
// What the uninstaller asks for (/unassociate): the association of every extension whose class
// still opens files with the running executable is removed; one that another copy or another
// program has taken over stays.
void RemoveOwnAssociations(std::vector<std::wstring>& failed);

// Directory links for tests: a junction where the system makes one, else (under Wine, which makes
// neither junctions nor symbolic links) a Unix symbolic link that Wine lists as a directory
// reparse point.
#pragma once

#include <string>

namespace tf_test {

enum class LinkKind { None, Junction, UnixSymlink };

bool MakeJunction(const std::wstring& link, const std::wstring& target);
LinkKind MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
// Removes a link made as a Unix symbolic link.
void RemoveUnixLink(const std::wstring& link);

// Under Wine: drive `letter` (lower case) made to stand for the directory `target` through a link in
// the prefix's dosdevices folder, and taken away again. False when not under Wine or it failed.
bool MapWineDrive(char letter, const std::wstring& target);
bool UnmapWineDrive(char letter);

}  // namespace tf_test

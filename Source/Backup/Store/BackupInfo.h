// info.xml, the index of one entry's backup directory: the numbering and the version comments.
//
// Layout (UTF-8, no indentation):
//   <?xml version='1.0' encoding='UTF-8'?>
//   <root>\n\t<BackupFormat>1</BackupFormat><EndVersion>E</EndVersion><NowVersion>N</NowVersion>\n
//   <comment ver="1" time="2024/01/05 09:07 3">text</comment>\n ...
//   </root>
// EndVersion is the highest version recorded (0: never backed up), NowVersion the version the
// entry's file corresponds to. One "comment" per recorded version in the order the versions were
// made; "ver" comes before "time"; time is "%d/%02d/%02d %02d:%02d %d" (seconds unpadded); each
// comment is followed by a line-break text node. Readers find the children of "root" by exact name
// and skip text nodes.
//
// Every write goes to "info.new" beside info.xml that is then moved over it, so an interrupted
// save never leaves a directory without its index. A document that cannot be used (not XML, a
// document type declaration, no root, counters missing, not numbers, out of range), or a missing
// info.xml beside version files, is damaged: it is reported and never rewritten, except by
// RebuildIndex, which keeps it as "info.xml.damaged". Comments are stored without the control
// characters XML cannot hold, so every index written loads again.
#pragma once

#include <string>
#include <vector>

namespace backup {

// Versions above this are taken as a damaged index rather than a real history.
constexpr int kMaxVersion = 100000;

enum class BackupMode { Normal, Append };

struct Versions {
    int endVersion = 0;
    int nowVersion = 0;
};

struct VersionNote {
    int version = 0;
    std::wstring comment;
    std::wstring time;
};

// The info.xml path of `directory` (which ends in "\").
std::wstring InfoPath(const std::wstring& directory);

// Reads the counters; both 0 when there is no info.xml yet. False, after a box, when the DOM
// component is missing or the index is damaged.
bool GetVersion(const std::wstring& directory, Versions& out);

// Whether the DOM component can be created; false after GetVersion's box.
bool DomAvailable();

// Takes the versions after `nowVersion` out of the index (EndVersion becomes nowVersion, their
// comments go), before a normal backup reuses their numbers. False after a warning.
bool DropVersionsAfter(const std::wstring& directory, int nowVersion);

// Records a new version after its file was written. `before` are the counters read before the
// backup; in the normal mode the comments above before.nowVersion are dropped. False after a
// warning when the index could not be written (the version file stays).
bool UpdateXML(const std::wstring& directory, const Versions& before, int newVersion, BackupMode mode,
               const std::wstring& comment, const std::wstring& time);

// Sets NowVersion. False, after a box for a missing component or an unreadable index, when nothing
// was stored.
bool UpdateVersion(const std::wstring& directory, int version);

// Fills comment and time of the listed versions from the index (versions 1 to endVersion only).
bool SetVerComment(const std::wstring& directory, int endVersion, std::vector<VersionNote>& notes);

enum class IndexStatus { Read, Damaged, NoComponent };

// GetVersion and SetVerComment with one reading of the index: the counters, then comment and time
// of the listed versions; listed versions outside 1 to endVersion are dropped from `notes`. A
// damaged index is not reported here (its caller offers RebuildIndex); `notes` are then untouched.
IndexStatus ReadHistory(const std::wstring& directory, Versions& out, std::vector<VersionNote>& notes);

// Moves a damaged info.xml aside as "info.xml.damaged" (replacing an earlier one) and writes a new
// index that records `versions` (ascending) without comments, each with its file's time, the last
// of them as both EndVersion and NowVersion. False after a warning.
bool RebuildIndex(const std::wstring& directory, const std::vector<int>& versions);
std::wstring DamagedPath(const std::wstring& directory);

// Replaces the comment of `version`. False when the index could not be read or written.
bool EditComment(const std::wstring& directory, int version, const std::wstring& text);

// Parses a decimal version number: digits only, 0 to kMaxVersion; -1 for anything else.
int ParseVersion(const std::wstring& text);

}  // namespace backup

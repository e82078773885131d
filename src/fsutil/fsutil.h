// File-system helpers: existence tests, sizes, listings, plain deletes, small text files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parvela {

// The separator of composed paths on this platform.
#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

// True when the length of the file at path can be read; an empty file is present.
// A folder is not a file.
bool FileIsPresent(const std::string& path);
// The text after the last separator; the whole text when there is none.
std::string FileNamePart(const std::string& path);
// The text up to and including the last separator; empty when there is none.
std::string FolderPart(const std::string& path);

// Names of the files (never folders) matching a pattern such as "/dir/*.mkv", in the order the
// file system delivers them. Nothing found: one element, the empty text. A pattern ending in
// the separator lists every file of that folder.
std::vector<std::string> FindFiles(const std::string& pattern);
// Is there a file (or, with includeFolders, a folder) at path?
bool PathExists(const std::string& path, bool includeFolders);
bool FolderExists(const std::string& path);

using FileHandle = int;
inline constexpr FileHandle kInvalidHandle = -1;
// Opens for reading and writing; on failure handle -1 and size 0 (a read-only file fails).
void OpenFileAndGetSize(const std::string& path, FileHandle& handle, uint64_t& size);
void CloseFileHandle(FileHandle handle);
uint64_t CombineSize64(int32_t low, int32_t high);
// The size of a file without opening it, so read-only files have one too; 0 when missing.
uint64_t FileSize(const std::string& path);
std::string TrimAtNul(const std::string& text);
// Reads up to `size` bytes from the start of a file; the number read, 0 when it cannot be opened.
size_t ReadFileStart(const std::string& path, char* buffer, size_t size);

// Removes a folder with everything in it, read-only files included. Never follows a link: a
// link in the tree (or given as the folder) is removed as a link, and nothing outside the tree
// is changed. Throws std::filesystem::filesystem_error on the first entry it cannot remove.
void DeleteFolderTree(const std::string& folder);
// Creates a folder; an existing one is no error.
void MakeFolder(const std::string& folder);
// Creates a folder that did not exist before; false when the name is taken or the call fails.
bool CreateNewFolder(const std::string& folder);
// Bytes available to the user on the file system holding path; false when it cannot be read.
bool FreeSpace(const std::string& path, uint64_t& bytes);

// A plain delete: a missing file is no error, and a file without write permission for its
// owner stays (as a read-only file does on every platform). True when the file was removed.
bool DeleteFile(const std::string& path);
// Renames a file; a missing source is no error. True on success.
bool RenameFile(const std::string& from, const std::string& to);

// Text files: lines written end in CR LF; readers accept CR LF and bare LF.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
bool AppendTextLines(const std::string& path, const std::vector<std::string>& lines);
bool AppendTextLine(const std::string& path, const std::string& line);
// False when the file cannot be opened.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);

// Blanks (spaces) removed from both ends, as the window's texts are trimmed.
std::string TrimBlanks(std::string_view text);
bool EndsWith(std::string_view text, std::string_view tail);
bool Contains(std::string_view text, std::string_view part);

// Safety checks (safety.cpp). Do both paths name one existing file, whatever their spelling?
bool IsSameFile(const std::string& a, const std::string& b);
// Can a file be created in this folder now (tried, then removed)?
bool FolderIsWritable(const std::string& folder);

}  // namespace parvela

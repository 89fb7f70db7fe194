// File names of the table layer: the program folder, and bare names matched
// without regard to letter case against the files of their folder, so that
// "username.DBF" and "USERNAME.DBF" reach one file.
#pragma once

#include <string>

namespace kalbor {

// Folder of the running executable, with a trailing separator.
std::string ProgramFolder();

// Adds a trailing separator unless the text is empty or has one.
std::string WithTrailingSeparator(const std::string& folder);

// `folder` + `name`, where an existing file whose name differs only in
// letter case (a to z) is found and returned under its stored name; a name
// with no such file comes back as given, for creation.
std::string ResolveFileName(const std::string& folder, const std::string& name);
// The same for a full path: its last component is matched in its folder.
std::string ResolvePath(const std::string& path);

bool FileExists(const std::string& path);      // path resolved as above
bool DeleteFile(const std::string& path);      // true when a file was removed
bool RenameFile(const std::string& from, const std::string& to);
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);  // with trailing separator
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string ExtractFileExt(const std::string& path);   // with the dot, or empty
// ASCII-only upper-casing: a to z become A to Z, nothing else changes.
std::string UpperAscii(std::string text);
bool SameTextAscii(const std::string& a, const std::string& b);

}  // namespace kalbor

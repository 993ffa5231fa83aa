// Helpers shared by the tests: real temporary folders and files on disk.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/raw_string.h"

namespace TestSupport {

// A fresh folder under the Windows temporary folder, removed with its
// contents when the object dies.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    // path + '\' + name
    std::wstring Join(const std::wstring& name) const;

private:
    std::wstring path_;
};

std::vector<uint8_t> Bytes(const std::string& text);
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Empty vector and ok=false when the file cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::wstring& path, bool* ok = nullptr);
bool FileExists(const std::wstring& path);
// A file written through the "\\?\" form of its absolute path, which hands
// the name to the file system as it stands and takes any length: a file as
// another system makes it (a device's name such as "lpt1.txt", a path of
// more than MAX_PATH characters).
bool WriteFileRawPath(const std::wstring& path, const std::string& bytes);
// The names a folder lists, without "." and "..".
std::set<std::wstring> FolderNames(const std::wstring& folder);
// Whether some file below the folder (at most `maxDepth` folders down)
// satisfies the test, which gets the file's path.
bool AnyFileBelow(const std::wstring& folder, const std::function<bool(const std::wstring&)>& test,
                  int maxDepth = 8);
// Removes a folder tree with plain Win32 calls (clears read-only first).
void RemoveTree(const std::wstring& path);
// The path of the running test program.
std::wstring ModulePath();
// UTF-8 to UTF-16 and back, for readable test data.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// RawString and std::wstring both ways, and a RawString as UTF-8.
RawLayer::RawString W(const std::wstring& text);
std::wstring Ws(const RawLayer::RawString& text);
std::string S(const RawLayer::RawString& text);
// The whole file as a byte string (empty when it cannot be read).
std::string FileText(const std::wstring& path);
// A date and time (day of week and milliseconds 0).
SYSTEMTIME MakeTime(int year, int month, int day, int hour, int minute, int second);

// 2020-06-01 10:00:00 UTC in 100 ns units.
constexpr uint64_t kBaseTime = 132355584000000000ULL;
// A file's last write time (UTC, 100 ns units) set and read; 0 when it
// cannot be read.
bool SetWriteTime(const std::wstring& path, uint64_t time);
uint64_t WriteTimeOf(const std::wstring& path);

}  // namespace TestSupport

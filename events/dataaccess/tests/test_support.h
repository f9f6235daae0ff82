#pragma once
// Shared helpers of the data access tests: temporary folders, database files made from the
// shipped schema, and running a step in a child process.

#include <functional>
#include <string>
#include <vector>

namespace ixan::test {

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Creates an SQLite database at path from events/schema/z_servicelog.sqlite.sql.
// Returns the error text, empty on success.
std::string createEventDatabase(const std::string& path);

// The connection string the event database uses for an Access file.
std::string accessConnectionString(const std::string& path);

// Runs step in a forked child; the child's text (what step returns) comes back through a
// pipe. finished is false when the child crashed or was killed after timeoutSeconds.
struct ChildResult {
    bool finished = false;
    int exitCode = -1;
    std::string text;
};
ChildResult runInChild(const std::function<std::string()>& step, int timeoutSeconds = 60);

// The eight columns of Z_servicelog in their order.
inline const char* const kColumns[] = {"IP",       "Datum",    "Tuername",     "Ausloeser",
                                       "Ereignis", "Benutzer", "Kartennummer", "Kartentyp"};

// A value as the event database quotes it: in apostrophes, apostrophes inside doubled.
std::string quoted(const std::string& value);

// The event database's default INSERT with the eight values quoted.
std::string insertStatement(const std::vector<std::string>& values);

// Reads the whole file; empty when missing.
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace ixan::test

#pragma once
// Helpers that make faults happen for real: a child process for work whose
// memory or file-system view must not touch the test process, a scoped file
// size limit (write() then fails with EFBIG, as on a full disk), memory and
// open-descriptor figures from /proc.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <string>

namespace jl::test {

// What a child process reported: its "key=value" lines, and how it ended.
struct ChildReport {
    bool exitedNormally = false; // exit status 0
    bool timedOut = false;
    int signal = 0; // the signal that ended it, if one did
    std::map<std::string, std::string> values;
    std::string text; // everything the child wrote
    std::string value(const std::string& key) const {
        const auto it = values.find(key);
        return it == values.end() ? std::string("<missing>") : it->second;
    }
    long long number(const std::string& key) const;
};

// Runs body in a forked child and returns its report. The child ends after
// timeoutSeconds at the latest (SIGALRM). body writes "key=value" lines into
// the string it returns. Only logic may run in the child (no widgets).
ChildReport runInChild(const std::function<std::string()>& body, unsigned timeoutSeconds = 60);

// Sets the soft RLIMIT_FSIZE of this process and ignores SIGXFSZ while it
// lives, so that writing a file past bytes fails with EFBIG; both restored
// after.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    long long m_previousSoft = 0;
    void (*m_previousHandler)(int) = nullptr;
};

// Kilobytes of a /proc/self/status field ("VmRSS", "VmHWM"); -1 if unknown.
long long statusKilobytes(const char* field);
// Resets the peak resident size (VmHWM) to the current one; false if the
// kernel does not allow it.
bool resetPeakResidentSize();
// Open descriptors of this process.
int openDescriptorCount();
// The names of the files in a folder ("." and ".." left out), sorted.
QStringList folderNames(const QString& folder);

bool runningAsRoot();
bool builtWithAddressSanitizer();

} // namespace jl::test

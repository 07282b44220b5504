// Writing report files: which file receives the report, what stays as it
// was, and that no temporary file is left behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "ReportFile.h"
#include "TestSupport.h"

namespace talvo {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

const std::string kReport = "the new report\n";

bool Write(const std::string& path, std::string& reason) {
    return WriteReportFile(path, [](std::ostream& out) { out << kReport; }, reason);
}

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every name under the directory, to see that nothing else was made.
std::set<std::string> Names(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path(""))) {
        names.insert(entry.path().lexically_relative(dir.Path("")).string());
    }
    return names;
}

fs::perms Mode(const std::string& path) { return fs::status(path).permissions(); }

// Runs body as an ordinary user, whose permissions the system checks: in a
// child process with the user and group ids of "nobody" when this process
// is root. Gives body's result.
bool AsOrdinaryUser(const std::function<bool()>& body) {
    if (geteuid() != 0) return body();
    const pid_t child = fork();
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && body() ? 0 : 1);
    int status = 1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Target {
    const char* what;
    // Prepares the directory; gives the report path to write (relative).
    std::function<std::string(const TempDir&)> setup;
    std::string receiver;              // the file that must hold the report
    std::set<std::string> names;       // everything in the directory afterwards
    fs::perms mode = fs::perms::unknown;  // the receiver's permission bits, when checked
};

TEST(ReportFile, TheRightFileReceivesTheReport) {
    const std::string longName(250, 'r');  // no room for a temporary file's suffix
    const Target targets[] = {
        {"a new file", [](const TempDir&) { return "r.txt"; }, "r.txt", {"r.txt"}},
        {"an old file keeps its permission bits",
         [](const TempDir& dir) {
             fs::permissions(dir.Write("r.txt", "old, longer than the new report\n"),
                             fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
             return "r.txt";
         },
         "r.txt", {"r.txt"}, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read},
        {"a link's target receives the report, the link stays",
         [](const TempDir& dir) {
             dir.Write("t.txt", "old\n");
             fs::create_symlink("t.txt", dir.Path("r.txt"));
             return "r.txt";
         },
         "t.txt", {"r.txt", "t.txt"}},
        {"a chain of relative links ending nowhere: its end is created",
         [](const TempDir& dir) {
             fs::create_directory(dir.Path("sub"));
             fs::create_symlink("sub/l2", dir.Path("r.txt"));
             fs::create_symlink("t.txt", dir.Path("sub/l2"));
             return "r.txt";
         },
         "sub/t.txt", {"r.txt", "sub", "sub/l2", "sub/t.txt"}},
        {"a name at the length limit is written in place",
         [&](const TempDir& dir) {
             dir.Write(longName, "old\n");
             return longName;
         },
         longName, {longName}},
    };
    for (const Target& t : targets) {
        SCOPED_TRACE(t.what);
        const TempDir dir;
        const std::string name = t.setup(dir);
        const std::string path = dir.Path(name);
        std::string reason;
        EXPECT_TRUE(Write(path, reason)) << reason;
        EXPECT_EQ(Content(dir.Path(t.receiver)), kReport);
        EXPECT_EQ(Names(dir), t.names);
        if (t.mode != fs::perms::unknown) {
            EXPECT_EQ(Mode(dir.Path(t.receiver)), t.mode);
        }
        if (t.receiver != name) {
            EXPECT_TRUE(fs::is_symlink(path));
        }
    }
}

TEST(ReportFile, FifoReceivesTheBytes) {
    const TempDir dir;
    const std::string path = dir.Path("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Content(path); });
    std::string reason;
    EXPECT_TRUE(Write(path, reason)) << reason;
    // A writer that comes and goes releases a reader still waiting to open.
    close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
    reader.join();
    EXPECT_EQ(received, kReport);
    EXPECT_TRUE(fs::is_fifo(path));
    EXPECT_EQ(Names(dir), std::set<std::string>{"fifo"});
}

TEST(ReportFile, FailuresLeaveNoTemporaryFile) {
    struct Failure {
        const char* what;
        std::string path;  // relative to the directory
        std::function<void(std::ostream&)> write;
        std::string reason;  // empty: the writer's exception
    };
    const auto report = [](std::ostream& out) { out << kReport; };
    const Failure failures[] = {
        {"the writer throws", "old.txt",
         [](std::ostream& out) {
             out << "half a report";
             throw std::runtime_error("stopped");
         },
         ""},
        {"a directory", "sub", report, "Is a directory"},
        {"a missing directory", "missing/r.txt", report, "No such file or directory"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        const TempDir dir;
        dir.Write("old.txt", "old\n");
        fs::create_directory(dir.Path("sub"));
        const std::string path = dir.Path(f.path);
        std::string reason;
        if (f.reason.empty()) {
            EXPECT_THROW(WriteReportFile(path, f.write, reason), std::runtime_error);
        } else {
            EXPECT_FALSE(WriteReportFile(path, f.write, reason));
            EXPECT_EQ(reason, f.reason);
        }
        EXPECT_EQ(Content(dir.Path("old.txt")), "old\n");
        EXPECT_EQ(Names(dir), (std::set<std::string>{"old.txt", "sub"}));
    }
}

TEST(ReportFile, PermissionsOfAnOrdinaryUser) {
    const TempDir dir;
    // A writable file in a directory without write permission: written in
    // place. A read-only file in a writable directory: refused, as in place.
    fs::create_directory(dir.Path("locked"));
    const std::string inLocked = dir.Write("locked/r.txt", "old\n");
    fs::permissions(inLocked, fs::perms::all);
    const fs::perms readAndSearch = fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir.Path("locked"), readAndSearch);
    fs::create_directory(dir.Path("open"));
    fs::permissions(dir.Path("open"), fs::perms::all);
    const std::string readOnly = dir.Write("open/r.txt", "old\n");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.Path(""), fs::perms::all);

    EXPECT_TRUE(AsOrdinaryUser([&] {
        std::string reason;
        return Write(inLocked, reason) && !Write(readOnly, reason) && reason == "Permission denied";
    }));
    EXPECT_EQ(Content(inLocked), kReport);
    EXPECT_EQ(Content(readOnly), "old\n");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"locked", "locked/r.txt", "open", "open/r.txt"}));
    fs::permissions(dir.Path("locked"), fs::perms::all);
}

}  // namespace
}  // namespace talvo

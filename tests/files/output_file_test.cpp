// The output writer: what a replaced file, a link, a failure and an unfinished output leave.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "files/output_file.hpp"

namespace {

namespace fs = std::filesystem;
namespace files = pipenet::files;

class Folder : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/pipenet-files-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static void put(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string get(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The names in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path dir_;
};

using OutputFileTest = Folder;

TEST_F(OutputFileTest, ALongerFileIsReplacedWholeAndItsOldInodeKeepsTheOldText) {
    const std::string target = path("out.json");
    const std::string old_text(40000, 'x');
    put(target, old_text);
    // A second name for the old file: writing in place would change it too.
    ASSERT_EQ(::link(target.c_str(), path("old").c_str()), 0);
    std::string reason;
    ASSERT_TRUE(files::write_output_file(target, "short\n", reason)) << reason;
    EXPECT_EQ(get(target), "short\n");
    EXPECT_EQ(get(path("old")), old_text);
    EXPECT_EQ(names(), (std::vector<std::string>{"old", "out.json"}));
}

TEST_F(OutputFileTest, ALinkIsFollowedAndStaysALink) {
    put(path("long.txt"), std::string(40000, 'x'));
    ASSERT_EQ(::symlink("long.txt", path("link.dat").c_str()), 0);
    // A chain of links, and one that dangles: the file at its end is made.
    ASSERT_EQ(::symlink("link.dat", path("chain").c_str()), 0);
    ASSERT_EQ(::symlink("new.txt", path("dangling").c_str()), 0);
    std::string reason;
    ASSERT_TRUE(files::write_output_file(path("chain"), "new text\n", reason)) << reason;
    ASSERT_TRUE(files::write_output_file(path("dangling"), "made\n", reason)) << reason;
    EXPECT_TRUE(fs::is_symlink(path("link.dat")));
    EXPECT_TRUE(fs::is_symlink(path("chain")));
    EXPECT_EQ(get(path("long.txt")), "new text\n");
    EXPECT_EQ(get(path("new.txt")), "made\n");
    EXPECT_EQ(names(),
              (std::vector<std::string>{"chain", "dangling", "link.dat", "long.txt", "new.txt"}));
}

TEST_F(OutputFileTest, PermissionsOfTheReplacedFileAreKept) {
    const std::string target = path("out.csv");
    put(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string reason;
    ASSERT_TRUE(files::write_output_file(target, "new", reason)) << reason;
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(OutputFileTest, AnUnfinishedOutputLeavesTheTargetAsItWas) {
    const std::string target = path("out.json");
    put(target, "previous results\n");
    {
        files::OutputFile output;
        std::string reason;
        ASSERT_TRUE(output.open(target, reason)) << reason;
        output.write("half of the new res");
        EXPECT_EQ(names().size(), 2u) << "the temporary file lies beside the target";
    }
    EXPECT_EQ(get(target), "previous results\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"out.json"}));
}

TEST_F(OutputFileTest, TargetsThatCannotBeWrittenAreRefusedWithTheirCause) {
    fs::create_directory(path("folder"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    struct Case {
        std::string target;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {path("folder"), "Is a directory"},
        {path("no/such/out.json"), "No such file or directory"},
        {path("fifo"), "it is a pipe that nothing reads"},
    };
    for (const Case& c : cases) {
        files::OutputFile output;
        std::string reason;
        EXPECT_FALSE(output.open(c.target, reason)) << c.target;
        EXPECT_NE(reason.find("cannot write " + c.target + ": " + c.cause), std::string::npos)
            << reason;
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"fifo", "folder"}));
}

TEST_F(OutputFileTest, AFailedWriteIsReportedByFinish) {
    files::OutputFile output;
    std::string reason;
    ASSERT_TRUE(output.open("/dev/full", reason)) << reason;
    output.write(std::string(100000, 'x'));
    EXPECT_FALSE(output.finish(reason));
    EXPECT_EQ(reason, "cannot write /dev/full: No space left on device");
}

TEST_F(OutputFileTest, TwoOutputsAreRenamedOnlyWhenBothAreComplete) {
    put(path("a"), "old a");
    put(path("b"), "old b");
    std::string reason;
    EXPECT_FALSE(files::write_outputs({{path("a"), "new a"}, {path("no/b"), "new b"}}, reason));
    EXPECT_EQ(get(path("a")), "old a");
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(
        files::write_outputs({{path("a"), "new a"}, {"", "skipped"}, {path("b"), "new b"}}, reason))
        << reason;
    EXPECT_EQ(get(path("a")) + get(path("b")), "new anew b");
}

using FileClaimsTest = Folder;

TEST_F(FileClaimsTest, AnOutputMayBeNoInputAndNoOtherOutput) {
    put(path("input-lin.dat"), "network");
    ASSERT_EQ(::symlink("input-lin.dat", path("soft").c_str()), 0);
    ASSERT_EQ(::link(path("input-lin.dat").c_str(), path("hard").c_str()), 0);
    struct Case {
        std::string output;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {path("input-lin.dat"), false}, // the same path
        {path("soft"), false},          // a link to the input
        {path("hard"), false},          // another name of the same inode
        {path("missing.dat"), false},   // an input by path, though it does not exist
        {path("out.json"), true},       {"-", true},
    };
    for (const Case& c : cases) {
        files::FileClaims claims;
        claims.add_input(path("input-lin.dat"));
        claims.add_input(path("missing.dat"));
        std::string reason;
        EXPECT_EQ(claims.claim_output(c.output, reason), c.allowed) << c.output << ": " << reason;
        if (!c.allowed) {
            EXPECT_NE(reason.find("an input of this command"), std::string::npos) << reason;
        }
    }
    files::FileClaims claims;
    std::string reason;
    EXPECT_TRUE(claims.claim_output("-", reason));
    EXPECT_TRUE(claims.claim_output("-", reason));
    EXPECT_TRUE(claims.claim_output(path("out.json"), reason));
    EXPECT_FALSE(claims.claim_output(path("out.json"), reason));
    EXPECT_NE(reason.find("another output"), std::string::npos) << reason;
}

// A signal that ends the run removes the temporary files; the target keeps its old text.
TEST_F(OutputFileTest, ASignalRemovesTheTemporaryFiles) {
    const std::string target = path("out.json");
    put(target, "previous results\n");
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            files::TemporaryFiles temporaries;
            files::OutputFile output(&temporaries);
            std::string reason;
            if (!output.open(target, reason)) ::_exit(3);
            output.write("half of the new res");
            (void)!::write(ready[1], "x", 1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        EXPECT_EQ(names().size(), 2u);
        ::kill(child, signal_number);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        EXPECT_EQ(get(target), "previous results\n");
        EXPECT_EQ(names(), (std::vector<std::string>{"out.json"}));
    }
}

} // namespace

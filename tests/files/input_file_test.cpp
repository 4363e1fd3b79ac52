// Inputs read whole: regular files, pipes with and without a writer, folders.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "files/input_file.hpp"

namespace {

namespace fs = std::filesystem;
namespace files = pipenet::files;

class InputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/pipenet-inputs-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

TEST_F(InputFileTest, ARegularFileIsReadWhole) {
    const std::string text(200000, 'n');
    std::ofstream(path("big")) << text;
    std::string read;
    std::string reason;
    ASSERT_TRUE(files::read_input_file(path("big"), read, reason)) << reason;
    EXPECT_EQ(read, text);
}

TEST_F(InputFileTest, WhatCannotBeReadSaysWhy) {
    fs::create_directory(path("folder"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const auto& [name, cause] :
         {std::pair{"folder", "Is a directory"}, std::pair{"absent", "No such file or directory"},
          std::pair{"fifo", "it is a pipe and nothing writes to it"}}) {
        std::string read;
        std::string reason;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(files::read_input_file(path(name), read, reason)) << name;
        EXPECT_EQ(reason, cause);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    }
}

TEST_F(InputFileTest, APipeIsReadWhenItHasAWriterEvenASlowOne) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const std::string text(100000, 'p'); // more than a pipe holds at once
    std::thread writer([&] {
        const int fd = ::open(path("fifo").c_str(), O_WRONLY); // waits for the reader
        ASSERT_GE(fd, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
            ASSERT_GT(put, 0);
            done += static_cast<std::size_t>(put);
        }
        ::close(fd);
    });
    // The writer must be waiting in open() before the reader comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string read;
    std::string reason;
    EXPECT_TRUE(files::read_input_file(path("fifo"), read, reason)) << reason;
    writer.join();
    EXPECT_EQ(read, text);
}

} // namespace

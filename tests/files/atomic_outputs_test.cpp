// Outputs replaced whole or not at all, in-process: names followed through
// their links, permissions and owner kept, the refusals of add(), a writer's
// hold on an output, and a GDAL dataset's files moving with it. (Signals,
// failing calls and two processes are tried on the real programs.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "tests/support/temp_folder.hpp"

namespace fs = std::filesystem;

namespace {

// Adds `target` to `outputs`, writes `bytes` into it and commits.
void replace(const std::string& target, const std::string& bytes) {
    AtomicOutputs outputs;
    ASSERT_EQ(outputs.add(target), AtomicOutputs::Claim::ok) << target;
    std::FILE* f = outputs.create_stream(0, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(bytes.c_str(), f);
    EXPECT_EQ(outputs.commit().status, AtomicOutputs::Result::Status::done);
}

}  // namespace

TEST(AtomicOutputs, ANameThroughLinksReplacesTheFileTheyLeadToKeepingLinksPermissionsAndOwner) {
    TempFolder temp;
    const std::string here = temp / "here";
    const std::string other = temp / "other";
    fs::create_directories(here + "/saved");
    fs::create_directories(other);
    write_file(here + "/saved/a", "earlier a");
    write_file(other + "/b", "earlier b");
    ASSERT_EQ(chmod((here + "/saved/a").c_str(), 0640), 0);
    ASSERT_EQ(chmod((other + "/b").c_str(), 0604), 0);
    // Root may give the files another owner, which they keep.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown((other + "/b").c_str(), 1234, 5678), 0);
    }
    // A relative link into a sub-folder, through a second link; an absolute one elsewhere.
    fs::create_symlink("saved/a", here + "/first");
    fs::create_symlink("first", here + "/a");
    fs::create_symlink(other + "/b", here + "/b");
    const std::vector<std::string> before = names_in(here);

    for (const char* name : {"a", "b"}) EXPECT_TRUE(replaceable(here + "/" + name)) << name;
    replace(here + "/a", "new a");
    replace(here + "/b", "new b");
    EXPECT_EQ(read_file(here + "/saved/a"), "new a");
    EXPECT_EQ(read_file(other + "/b"), "new b");
    EXPECT_TRUE(fs::is_symlink(here + "/a") && fs::is_symlink(here + "/first") && fs::is_symlink(here + "/b"));
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(stat((here + "/saved/a").c_str(), &a), 0);
    ASSERT_EQ(stat((other + "/b").c_str(), &b), 0);
    EXPECT_EQ(a.st_mode & 07777, 0640u);
    EXPECT_EQ(b.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(b.st_uid, 1234u);
        EXPECT_EQ(b.st_gid, 5678u);
    }
    EXPECT_EQ(names_in(here), before);
    EXPECT_EQ(names_in(here + "/saved"), std::vector<std::string>{"a"});
    EXPECT_EQ(names_in(other), std::vector<std::string>{"b"});
}

TEST(AtomicOutputs, WhatMayNotBeReplacedIsRefusedAndAHeldOutputIsInUseUntilReleased) {
    TempFolder temp;
    const std::string file = temp / "file";
    write_file(file, "earlier");
    fs::create_directory(temp / "folder");
    ASSERT_EQ(mkfifo((temp / "fifo").c_str(), 0600), 0);
    fs::create_symlink("folder", temp / "to_folder");
    fs::create_symlink("loop", temp / "loop");

    AtomicOutputs first;
    EXPECT_EQ(first.add(file, AtomicOutputs::Kind::file, false), AtomicOutputs::Claim::exists);
    for (const char* name : {"folder", "fifo", "to_folder"}) {
        EXPECT_FALSE(replaceable(temp / name)) << name;
        EXPECT_EQ(first.add(temp / name), AtomicOutputs::Claim::not_regular) << name;
    }
    EXPECT_FALSE(replaceable(temp / "loop"));
    EXPECT_EQ(first.add(temp / "loop"), AtomicOutputs::Claim::failed);
    EXPECT_EQ(first.add(temp / "nowhere/file"), AtomicOutputs::Claim::failed);
    if (geteuid() != 0) {  // root may write anything
        ASSERT_EQ(chmod(file.c_str(), 0444), 0);
        EXPECT_EQ(first.add(file), AtomicOutputs::Claim::not_writable);
        ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    }
    EXPECT_EQ(first.size(), 0u);

    ASSERT_EQ(first.add(file), AtomicOutputs::Claim::ok);
    // A file already where the temporary goes is not written into.
    write_file(first.temporary(0), "planted");
    EXPECT_LT(first.create(0), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(read_file(first.temporary(0)), "planted");
    EXPECT_EQ(first.add(temp / "./file"), AtomicOutputs::Claim::in_use);  // the same file under another name
    EXPECT_EQ(first.add(file), AtomicOutputs::Claim::twice);
    AtomicOutputs second;
    EXPECT_EQ(second.add(file), AtomicOutputs::Claim::in_use);
    first.abandon();
    EXPECT_EQ(read_file(file), "earlier");
    EXPECT_EQ(second.add(file), AtomicOutputs::Claim::ok);
    second.abandon();

    // A temporary folder another user left is his: refused, and named.
    if (geteuid() == 0) {  // only root may make one
        const std::string foreign = temp / ".file.lorvantide-tmp";
        fs::create_directory(foreign);
        ASSERT_EQ(chown(foreign.c_str(), 1234, 1234), 0);
        EXPECT_EQ(second.add(file), AtomicOutputs::Claim::foreign);
        EXPECT_EQ(second.refused_folder(), foreign);
    }
}

TEST(AtomicOutputs, NamesAsLongAsTheSystemTakesAreWritten) {
    TempFolder temp;
    // Up to 239 bytes the folder is .NAME.lorvantide-tmp; beyond, a hash stands for the name's end.
    for (const std::size_t length : {232, 239, 240, 248, 255}) replace(temp / std::string(length, 'n'), "new");
    for (const std::size_t length : {232, 239, 240, 248, 255}) EXPECT_EQ(read_file(temp / std::string(length, 'n')), "new");
    EXPECT_EQ(hidden_names(temp.path().string()), std::vector<std::string>{});
}

TEST(AtomicOutputs, AKilledWritersFolderIsTakenOverAndEmptied) {
    TempFolder temp;
    const std::string file = temp / "file";
    // What a writer killed while writing leaves: its folder, lock and temporary.
    const std::string folder = temp / ".file.lorvantide-tmp";
    fs::create_directories(folder + "/sub");
    for (const char* name : {"/.lock", "/file", "/file.aux.xml", "/sub/x"}) write_file(folder + name, "debris");
    AtomicOutputs outputs;
    ASSERT_EQ(outputs.add(file), AtomicOutputs::Claim::ok);
    EXPECT_EQ(names_in(folder), std::vector<std::string>{".lock"});
    ASSERT_GE(outputs.create(0), 0);
    EXPECT_EQ(outputs.commit().status, AtomicOutputs::Result::Status::done);
    EXPECT_EQ(names_in(temp.path().string()), std::vector<std::string>{"file"});
}

TEST(AtomicOutputs, ADatasetsOwnFilesMoveWithItAndAStaleAuxiliaryFileGoes) {
    TempFolder temp;
    const std::string image = temp / "out.img";
    const auto write_dataset = [&](bool aux) {
        AtomicOutputs outputs;
        ASSERT_EQ(outputs.add(image, AtomicOutputs::Kind::dataset, true, {".aux.xml"}), AtomicOutputs::Claim::ok);
        const std::string written = outputs.temporary(0);
        EXPECT_EQ(fs::path(written).filename(), "out.img");
        write_file(written, aux ? "first image" : "second image");
        write_file(fs::path(written).replace_extension(".hdr").string(), aux ? "first header" : "second header");
        if (aux) write_file(written + ".aux.xml", "statistics of the first image");
        EXPECT_EQ(outputs.commit().status, AtomicOutputs::Result::Status::done);
    };
    write_dataset(true);
    EXPECT_EQ(names_in(temp.path().string()), (std::vector<std::string>{"out.hdr", "out.img", "out.img.aux.xml"}));
    EXPECT_EQ(read_file(temp / "out.img.aux.xml"), "statistics of the first image");
    write_dataset(false);
    EXPECT_EQ(names_in(temp.path().string()), (std::vector<std::string>{"out.hdr", "out.img"}));
    EXPECT_EQ(read_file(temp / "out.img"), "second image");
    EXPECT_EQ(read_file(temp / "out.hdr"), "second header");
}

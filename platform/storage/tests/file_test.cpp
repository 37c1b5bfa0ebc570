#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "testing/ScratchDir.h"
#include "storage/AtomicFileWriter.h"
#include "storage/File.h"
#include "storage/FindDirectory.h"
#include "storage/MimeType.h"
#include "storage/SettingsFile.h"

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWhole(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool HasUserAttributes(const std::string& directory)
{
    std::string probe = directory + "/.xattr-probe";
    WriteWhole(probe, "x");
    bool works = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    unlink(probe.c_str());
    return works;
}

// Files in the test directory other than the named ones (left-over temporaries).
int CountOtherFiles(const std::string& directory, std::initializer_list<std::string> known)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::string name = entry.path().filename();
        if (std::find(known.begin(), known.end(), name) == known.end())
            count++;
    }
    return count;
}

// Makes writes beyond limit bytes fail with EFBIG for the scope's lifetime.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &fOld);
        fOldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = {limit, fOld.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &fOld);
        signal(SIGXFSZ, fOldHandler);
    }

private:
    struct rlimit fOld;
    void (*fOldHandler)(int);
};

}  // namespace

TEST(File, OpenModesAndErrors)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    std::string path = dir.File("a");
    BFile missing(path.c_str(), B_READ_ONLY);
    EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(missing.Write("x", 1), B_NO_INIT);

    BFile created(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS);
    ASSERT_EQ(created.InitCheck(), B_OK);
    EXPECT_EQ(created.Write("hello", 5), 5);
    EXPECT_EQ(created.Seek(1, SEEK_SET), 1);
    char out[3] = {};
    EXPECT_EQ(created.Read(out, 2), 2);
    EXPECT_EQ(std::string(out), "el");
    EXPECT_EQ(created.Position(), 3);
    EXPECT_EQ(created.Sync(), B_OK);

    BFile again(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS);
    EXPECT_EQ(again.InitCheck(), B_FILE_EXISTS);
    BFile readOnly(path.c_str(), B_READ_ONLY);
    EXPECT_LT(readOnly.Write("x", 1), 0);
    EXPECT_TRUE(readOnly.IsReadable());
    EXPECT_FALSE(readOnly.IsWritable());
    BFile erased(path.c_str(), B_WRITE_ONLY | B_ERASE_FILE);
    off_t size = -1;
    EXPECT_EQ(erased.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);
    BFile directory(dir.Path().c_str(), B_READ_ONLY);
    EXPECT_EQ(directory.InitCheck(), B_IS_A_DIRECTORY);
}

TEST(FindDirectory, SettingsDirectoryFollowsXdgThenHome)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    BPath path;
    ASSERT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path), B_OK);
    EXPECT_EQ(std::string(path.Path()), dir.Path() + "/config");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/config"));
    ASSERT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path, true), B_OK);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "/config"));

    // A relative XDG_CONFIG_HOME is invalid; so is an empty one.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    ASSERT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path), B_OK);
    EXPECT_EQ(std::string(path.Path()), dir.Path() + "/home/.config");
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path), B_OK);
    EXPECT_EQ(std::string(path.Path()), dir.Path() + "/home/.config");
    ASSERT_EQ(find_directory(B_USER_DIRECTORY, &path), B_OK);
    EXPECT_EQ(std::string(path.Path()), dir.Path() + "/home");
}

TEST(FindDirectory, CreateDirectoryMakesParentsAndRefusesFiles)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    std::string nested = dir.File("a/b/c");
    EXPECT_EQ(create_directory(nested.c_str(), 0755), B_OK);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_EQ(create_directory(nested.c_str(), 0755), B_OK);  // already there
    WriteWhole(dir.File("plain"), "x");
    EXPECT_EQ(create_directory(dir.File("plain").c_str(), 0755), B_NOT_A_DIRECTORY);
    EXPECT_EQ(create_directory(dir.File("plain/sub").c_str(), 0755), B_NOT_A_DIRECTORY);
    EXPECT_EQ(create_directory("", 0755), B_BAD_VALUE);

    BPath path("/x/", "y/");
    EXPECT_STREQ(path.Path(), "/x/y");
    EXPECT_STREQ(path.Leaf(), "y");
    BPath parent;
    EXPECT_EQ(path.GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/x");
    EXPECT_EQ(path.Append("/absolute"), B_BAD_VALUE);
}

TEST(SettingsFile, CreatesDirectoriesSetsTypeAndRejectsEscapingNames)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    status_t status = B_ERROR;
    BFile* file = open_settings_file("OrbWorks/Patchora", "state", B_READ_ONLY, "text/plain",
                                     &status);
    EXPECT_EQ(file, nullptr);  // reading does not create anything
    EXPECT_EQ(status, B_ENTRY_NOT_FOUND);

    file = open_settings_file("OrbWorks/Patchora", "state",
                              B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE, "text/plain", &status);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(status, B_OK);
    EXPECT_EQ(file->Write("<State>", 7), 7);
    delete file;
    std::string path = dir.Path() + "/config/OrbWorks/Patchora/state";
    EXPECT_EQ(ReadWhole(path), "<State>");
    std::string type;
    EXPECT_EQ(get_mime_type(path.c_str(), &type), B_OK);
    EXPECT_EQ(type, "text/plain");

    EXPECT_EQ(open_settings_file("OrbWorks", "../escape", B_READ_WRITE | B_CREATE_FILE,
                                 nullptr, &status), nullptr);
    EXPECT_EQ(status, B_BAD_VALUE);
    EXPECT_EQ(open_settings_file("../up", "x", B_READ_WRITE | B_CREATE_FILE, nullptr, &status),
              nullptr);
    EXPECT_EQ(open_settings_file("/abs", "x", B_READ_WRITE | B_CREATE_FILE, nullptr, &status),
              nullptr);

    // A file where the directory should be: null, nothing overwritten.
    WriteWhole(dir.Path() + "/config/Blocked", "keep");
    EXPECT_EQ(open_settings_file("Blocked", "x", B_READ_WRITE | B_CREATE_FILE, nullptr,
                                 &status), nullptr);
    EXPECT_EQ(status, B_NOT_A_DIRECTORY);
    EXPECT_EQ(ReadWhole(dir.Path() + "/config/Blocked"), "keep");

    AtomicFileWriter* writer = open_settings_writer("OrbWorks/Patchora", "studio",
                                                    "text/plain", &status);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->Write("<Studio>", 8), 8);
    EXPECT_EQ(writer->Commit(), B_OK);
    delete writer;
    EXPECT_EQ(ReadWhole(dir.Path() + "/config/OrbWorks/Patchora/studio"), "<Studio>");
}

TEST(MimeType, AttributeThenExtensionThenContent)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    std::string type;
    WriteWhole(dir.File("dump.SYX"), "whatever");
    EXPECT_EQ(get_mime_type(dir.File("dump.SYX").c_str(), &type), B_OK);
    EXPECT_EQ(type, "application/x-syx");

    WriteWhole(dir.File("raw"), std::string("\xF0\x18\x0C\x00\xF7", 5));
    EXPECT_EQ(get_mime_type(dir.File("raw").c_str(), &type), B_OK);
    EXPECT_EQ(type, "application/x-syx");
    WriteWhole(dir.File("notes"), "plain words\n\tand more\n");
    EXPECT_EQ(get_mime_type(dir.File("notes").c_str(), &type), B_OK);
    EXPECT_EQ(type, "text/plain");
    WriteWhole(dir.File("binary"), std::string("\x01\x02\x00", 3));
    EXPECT_EQ(get_mime_type(dir.File("binary").c_str(), &type), B_OK);
    EXPECT_EQ(type, "application/octet-stream");

    register_mime_extension(".plib", "text/x-vnd.ORB.PatchesLib");
    WriteWhole(dir.File("bank.plib"), "x");
    EXPECT_EQ(get_mime_type(dir.File("bank.plib").c_str(), &type), B_OK);
    EXPECT_EQ(type, "text/x-vnd.ORB.PatchesLib");
    register_mime_signature("text/x-test-signature", "<SIGTEST", 8);
    WriteWhole(dir.File("signed"), "<SIGTEST>");
    EXPECT_EQ(get_mime_type(dir.File("signed").c_str(), &type), B_OK);
    EXPECT_EQ(type, "text/x-test-signature");

    EXPECT_EQ(get_mime_type(dir.File("absent").c_str(), &type), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(set_mime_type(dir.File("notes").c_str(), "not a type"), B_BAD_VALUE);
    EXPECT_EQ(set_mime_type(dir.File("notes").c_str(), "text/"), B_BAD_VALUE);

    if (!HasUserAttributes(dir.Path()))
        GTEST_SKIP() << "file system keeps no user attributes";
    EXPECT_EQ(set_mime_type(dir.File("notes").c_str(), "audio/x-test"), B_OK);
    EXPECT_EQ(get_mime_type(dir.File("notes").c_str(), &type), B_OK);
    EXPECT_EQ(type, "audio/x-test");
    // A stored value that is not a type is ignored in favour of the guess.
    setxattr(dir.File("notes").c_str(), kMimeTypeAttribute, "\x01junk", 5, 0);
    EXPECT_EQ(get_mime_type(dir.File("notes").c_str(), &type), B_OK);
    EXPECT_EQ(type, "text/plain");
}

TEST(AtomicFileWriter, CommitReplacesWholeAndKeepsModeTypeAndLinks)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    std::string path = dir.File("doc");
    WriteWhole(path, "old contents");
    chmod(path.c_str(), 0640);
    bool attributes = HasUserAttributes(dir.Path());
    if (attributes) {
        ASSERT_EQ(set_mime_type(path.c_str(), "text/x-vnd.ORB.PatchesLib"), B_OK);
    }

    AtomicFileWriter writer(path.c_str());
    ASSERT_EQ(writer.InitCheck(), B_OK);
    std::string large(200000, 'h');  // more than one buffer's worth
    EXPECT_EQ(writer.Write(large.data(), large.size()), static_cast<ssize_t>(large.size()));
    EXPECT_EQ(writer.Write("!", 1), 1);
    EXPECT_EQ(ReadWhole(path), "old contents");  // nothing visible before the commit
    EXPECT_EQ(writer.Commit(), B_OK);
    EXPECT_EQ(ReadWhole(path), large + "!");
    EXPECT_EQ(writer.Write("late", 4), B_NO_INIT);
    EXPECT_EQ(CountOtherFiles(dir.Path(), {"doc", "config", "home"}), 0);

    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    if (attributes) {
        std::string type;
        EXPECT_EQ(get_mime_type(path.c_str(), &type), B_OK);
        EXPECT_EQ(type, "text/x-vnd.ORB.PatchesLib");
    }

    // Saving through a symbolic link replaces the file it leads to and keeps the link.
    std::string link = dir.File("link");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    AtomicFileWriter throughLink(link.c_str(), "text/plain");
    throughLink.Write("via link", 8);
    EXPECT_EQ(throughLink.Commit(), B_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWhole(path), "via link");
}

TEST(AtomicFileWriter, FailedOrAbandonedSaveLeavesTheOldFile)
{
    ScratchDir dir("storage-test");
    dir.UseAsHome();
    std::string path = dir.File("doc");
    WriteWhole(path, "precious");

    {
        AtomicFileWriter abandoned(path.c_str(), "text/plain");
        abandoned.Write("half a docu", 11);
    }  // destroyed without Commit
    EXPECT_EQ(ReadWhole(path), "precious");
    EXPECT_EQ(CountOtherFiles(dir.Path(), {"doc", "config", "home"}), 0);

    {
        AtomicFileWriter discarded(path.c_str());
        discarded.Write("x", 1);
        discarded.Discard();
        EXPECT_NE(discarded.Commit(), B_OK);
    }
    EXPECT_EQ(ReadWhole(path), "precious");

    // The disk "fills up" while saving: the write (or its flush) fails, so does Commit,
    // and the old file is untouched.
    {
        AtomicFileWriter failing(path.c_str());
        ASSERT_EQ(failing.InitCheck(), B_OK);
        status_t commit;
        {
            FileSizeLimit limit(4096);
            std::string chunk(100000, 'n');
            failing.Write(chunk.data(), chunk.size());
            failing.Write("more", 4);
            commit = failing.Commit();
        }
        EXPECT_LT(commit, 0);
        EXPECT_FALSE(failing.IsCommitted());
    }
    EXPECT_EQ(ReadWhole(path), "precious");
    EXPECT_EQ(CountOtherFiles(dir.Path(), {"doc", "config", "home"}), 0);

    // Small writes that only fail when flushed at commit time are caught too.
    {
        AtomicFileWriter failing(path.c_str());
        status_t commit;
        {
            FileSizeLimit limit(10);
            EXPECT_EQ(failing.Write("twenty bytes of text", 20), 20);  // still buffered
            commit = failing.Commit();
        }
        EXPECT_LT(commit, 0);
    }
    EXPECT_EQ(ReadWhole(path), "precious");

    // A directory cannot be replaced; a missing directory cannot hold the temporary file.
    AtomicFileWriter onDirectory(dir.Path().c_str());
    EXPECT_EQ(onDirectory.InitCheck(), B_IS_A_DIRECTORY);
    AtomicFileWriter nowhere(dir.File("no/such/doc").c_str());
    EXPECT_EQ(nowhere.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_LT(nowhere.Write("x", 1), 0);
    EXPECT_NE(nowhere.Commit(), B_OK);
}

namespace {

// Reads a named pipe to its end on a thread of its own (or, with readNothing, opens it and
// closes it again at once), as the program at the other end of a pipe would.
class PipeReader {
public:
    PipeReader(const std::string& path, bool readNothing)
        : fThread([this, path, readNothing] {
              int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
              if (fd < 0)
                  return;
              char buffer[4096];
              ssize_t n;
              while (!readNothing && (n = read(fd, buffer, sizeof buffer)) > 0)
                  fBytes.append(buffer, static_cast<size_t>(n));
              close(fd);
          })
    {
    }
    std::string Finish()
    {
        fThread.join();
        return fBytes;
    }

private:
    std::string fBytes;
    std::thread fThread;
};

}  // namespace

TEST(AtomicFileWriter, SavingFollowsEveryLinkAndKeepsTheOwner)
{
    ScratchDir dir("storage-test");
    std::string path = dir.File("doc");
    WriteWhole(path, "old");
    chmod(path.c_str(), 0600);
    // Relative links in a chain, and a link to a file not yet there.
    ASSERT_EQ(symlink("doc", dir.File("first").c_str()), 0);
    ASSERT_EQ(symlink("first", dir.File("second").c_str()), 0);
    ASSERT_EQ(symlink("later", dir.File("dangling").c_str()), 0);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 4321, 4322), 0);
    }

    AtomicFileWriter chained(dir.File("second").c_str());
    chained.Write("through two links", 17);
    ASSERT_EQ(chained.Commit(), B_OK);
    EXPECT_FALSE(chained.WritesInPlace());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("second")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("first")));
    EXPECT_EQ(ReadWhole(path), "through two links");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }

    AtomicFileWriter dangling(dir.File("dangling").c_str());
    dangling.Write("new", 3);
    ASSERT_EQ(dangling.Commit(), B_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling")));
    EXPECT_EQ(ReadWhole(dir.File("later")), "new");
}

TEST(AtomicFileWriter, WritesStraightIntoAPipeAndReportsItsFailure)
{
    signal(SIGPIPE, SIG_IGN);  // a closed pipe is an error status, not the end of the test
    ScratchDir dir("storage-test");
    std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("pipe", dir.File("to-pipe").c_str()), 0);

    // A header patched after the body, as sound-file writers do, arrives patched.
    std::string body(300000, 'b');
    {
        PipeReader reader(fifo, false);
        AtomicFileWriter writer(dir.File("to-pipe").c_str(), "text/plain");
        ASSERT_EQ(writer.InitCheck(), B_OK);
        EXPECT_TRUE(writer.WritesInPlace());
        writer.Write("????", 4);
        writer.Write(body.data(), body.size());
        EXPECT_EQ(writer.WriteAt(0, "HEAD", 4), 4);
        EXPECT_EQ(writer.Commit(), B_OK);
        EXPECT_EQ(reader.Finish(), "HEAD" + body);
    }
    struct stat info;
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("to-pipe")));
    EXPECT_EQ(CountOtherFiles(dir.Path(), {"pipe", "to-pipe", "config", "home"}), 0);

    // The reader goes away: more than a pipe holds cannot be written, and Commit says so.
    {
        PipeReader reader(fifo, true);
        AtomicFileWriter writer(fifo.c_str());
        writer.Write(body.data(), body.size());
        EXPECT_LT(writer.Commit(), 0);
        EXPECT_FALSE(writer.IsCommitted());
        reader.Finish();
    }
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

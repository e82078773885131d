// File listings, existence tests, 64-bit sizes, plain deletes, tree removal and text files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "fsutil/fsutil.h"
#include "fsutil/write_behind.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Names = std::vector<std::string>;

void MakeReadOnly(const std::string& path) { ASSERT_EQ(::chmod(path.c_str(), 0444), 0); }

constexpr uint64_t kThreeGB = 3ULL * 1024 * 1024 * 1024;

TEST(FsutilFindFiles, ListsMatchingFilesInNameOrderIgnoringCase) {
  TempDir d;
  for (const char* n : {"b.mkv", "a.mkv", "C.MKV", "d.Mkv", "e.mkv.part", "fmkv", "g.avi"}) WriteFile(d / n, "");
  EXPECT_EQ(FindFiles(d.path() + "/*.mkv"), (Names{"a.mkv", "b.mkv", "C.MKV", "d.Mkv"}));
  EXPECT_EQ(FindFiles(d.path() + "/?.avi"), (Names{"g.avi"}));
  EXPECT_EQ(FindFiles(d.path() + "/a.mkv"), (Names{"a.mkv"}));
}

TEST(FsutilFindFiles, NothingFoundGivesOneEmptyName) {
  TempDir d;
  EXPECT_EQ(FindFiles(d.path() + "/*.mkv"), (Names{""}));
  EXPECT_EQ(FindFiles(d.path() + "/"), (Names{""}));
  EXPECT_EQ(FindFiles(d / "missing" + "/*.mkv"), (Names{""}));
  WriteFile(d / "a.avi", "");
  EXPECT_EQ(FindFiles(d.path() + "/*.mkv"), (Names{""}));
}

TEST(FsutilFindFiles, FoldersAreNeverListed) {
  TempDir d;
  fs::create_directory(d / "x.mkv");
  fs::create_directory(d / "sub");
  fs::permissions(d / "x.mkv", fs::perms::owner_all | fs::perms::others_read);
  WriteFile(d / "y.mkv", "");
  EXPECT_EQ(FindFiles(d.path() + "/*.mkv"), (Names{"y.mkv"}));
  EXPECT_EQ(FindFiles(d.path() + "/"), (Names{"y.mkv"}));
}

TEST(FsutilFindFiles, TrailingSeparatorListsEveryFile) {
  TempDir d;
  for (const char* n : {"movie.h264", "README", ".hidden", "a b.mkv"}) WriteFile(d / n, "");
  fs::create_directory(d / "split");
  EXPECT_EQ(FindFiles(d.path() + "/"), (Names{".hidden", "a b.mkv", "movie.h264", "README"}));
}

TEST(FsutilPaths, ExistenceTests) {
  TempDir d;
  WriteFile(d / "empty.mkv", "");
  EXPECT_TRUE(FileIsPresent(d / "empty.mkv"));
  EXPECT_FALSE(FileIsPresent(d.path()));
  EXPECT_FALSE(FileIsPresent(d / "missing.mkv"));
  EXPECT_FALSE(FileIsPresent(""));
  EXPECT_TRUE(PathExists(d / "empty.mkv", false));
  EXPECT_TRUE(PathExists(d / "empty.mkv", true));
  EXPECT_FALSE(PathExists(d.path(), false));
  EXPECT_TRUE(PathExists(d.path(), true));
  EXPECT_TRUE(PathExists(d.path() + "/", true));
  EXPECT_FALSE(PathExists(d / "missing", true));
  EXPECT_TRUE(FolderExists(d.path()));
  EXPECT_FALSE(FolderExists(d / "empty.mkv"));
}

TEST(FsutilPaths, NameAndFolderParts) {
  EXPECT_EQ(FileNamePart("/films/my.movie.mkv"), "my.movie.mkv");
  EXPECT_EQ(FolderPart("/films/my.movie.mkv"), "/films/");
  EXPECT_EQ(FileNamePart("movie.mkv"), "movie.mkv");
  EXPECT_EQ(FolderPart("movie.mkv"), "");
  EXPECT_EQ(FileNamePart("/a.mkv/"), "");
  EXPECT_EQ(FolderPart("/a.mkv/a.mkv"), "/a.mkv/");
}

TEST(FsutilSizes, CombineSize64TakesTheLowHalfUnsigned) {
  EXPECT_EQ(CombineSize64(-1, 0), 4294967295ULL);
  EXPECT_EQ(CombineSize64(0, 1), 4294967296ULL);
  EXPECT_EQ(CombineSize64(5, 2), 8589934597ULL);
  EXPECT_EQ(CombineSize64(INT32_MIN, 0), 2147483648ULL);
  EXPECT_EQ(CombineSize64(0, 0), 0ULL);
}

TEST(FsutilSizes, OpenFileAndGetSize) {
  TempDir d;
  FileHandle h = 99;
  uint64_t size = 99;
  OpenFileAndGetSize(d / "missing.mp4", h, size);
  EXPECT_EQ(h, kInvalidHandle);
  EXPECT_EQ(size, 0u);

  WriteFile(d / "small.mp4", "12345");
  OpenFileAndGetSize(d / "small.mp4", h, size);
  EXPECT_NE(h, kInvalidHandle);
  EXPECT_EQ(size, 5u);
  CloseFileHandle(h);

  // Read and write access is asked for: a read-only file does not open, whoever runs this.
  MakeReadOnly(d / "small.mp4");
  OpenFileAndGetSize(d / "small.mp4", h, size);
  EXPECT_EQ(h, kInvalidHandle);
  EXPECT_EQ(size, 0u);

  OpenFileAndGetSize(d.path(), h, size);
  EXPECT_EQ(h, kInvalidHandle);
  CloseFileHandle(kInvalidHandle);  // callers close unconditionally
}

TEST(FsutilSizes, FilesAboveFourGigabytesHalvesAreExact) {
  TempDir d;
  WriteFile(d / "big.mkv", "");
  fs::resize_file(d / "big.mkv", kThreeGB + 7);  // sparse: no disk space used
  EXPECT_TRUE(FileIsPresent(d / "big.mkv"));
  FileHandle h;
  uint64_t size = 0;
  OpenFileAndGetSize(d / "big.mkv", h, size);
  EXPECT_EQ(size, kThreeGB + 7);
  CloseFileHandle(h);
}

TEST(FsutilText, TrimAtNul) {
  EXPECT_EQ(TrimAtNul(""), "");
  EXPECT_EQ(TrimAtNul("movie.mkv"), "movie.mkv");
  EXPECT_EQ(TrimAtNul(std::string("\0movie", 6)), "");
  std::string buffer(260, '\0');
  buffer.replace(0, 9, "movie.mkv");
  EXPECT_EQ(TrimAtNul(buffer), "movie.mkv");
}

TEST(FsutilText, LinesAreWrittenWithCrLfAndReadEitherWay) {
  TempDir d;
  ASSERT_TRUE(WriteTextLines(d / "a.txt", {"one", "", " 1 "}));
  EXPECT_EQ(ReadFile(d / "a.txt"), "one\r\n\r\n 1 \r\n");
  ASSERT_TRUE(AppendTextLine(d / "a.txt", "four"));
  EXPECT_EQ(ReadFile(d / "a.txt"), "one\r\n\r\n 1 \r\nfour\r\n");
  Names lines;
  ASSERT_TRUE(ReadTextLines(d / "a.txt", lines));
  EXPECT_EQ(lines, (Names{"one", "", " 1 ", "four"}));
  WriteFile(d / "b.txt", "x\ny\r\nz");
  ASSERT_TRUE(ReadTextLines(d / "b.txt", lines));
  EXPECT_EQ(lines, (Names{"x", "y", "z"}));
  EXPECT_FALSE(ReadTextLines(d / "missing.txt", lines));
  EXPECT_TRUE(lines.empty());
}

TEST(FsutilText, ReadOnlyFilesAreNotWritten) {
  TempDir d;
  WriteFile(d / "log.txt", "old\r\n");
  MakeReadOnly(d / "log.txt");
  EXPECT_FALSE(WriteTextLines(d / "log.txt", {"new"}));
  EXPECT_FALSE(AppendTextLine(d / "log.txt", "new"));
  EXPECT_EQ(ReadFile(d / "log.txt"), "old\r\n");
}

TEST(FsutilDelete, PlainDeleteKeepsReadOnlyFiles) {
  TempDir d;
  WriteFile(d / "movie.aac", "a");
  WriteFile(d / "movie.h264", "h");
  MakeReadOnly(d / "movie.aac");
  EXPECT_FALSE(DeleteFile(d / "movie.aac"));
  EXPECT_TRUE(FileIsPresent(d / "movie.aac"));
  EXPECT_TRUE(DeleteFile(d / "movie.h264"));
  EXPECT_FALSE(FileIsPresent(d / "movie.h264"));
  EXPECT_FALSE(DeleteFile(d / "movie.h264"));  // missing: no error, nothing done
  EXPECT_FALSE(DeleteFile(d.path()));
  EXPECT_TRUE(FolderExists(d.path()));
}

TEST(FsutilDelete, DeletingALinkKeepsItsTarget) {
  TempDir d;
  WriteFile(d / "target.mkv", "t");
  MakeReadOnly(d / "target.mkv");
  fs::create_symlink(d / "target.mkv", d / "movie.h264");
  EXPECT_TRUE(DeleteFile(d / "movie.h264"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(d / "movie.h264")));
  EXPECT_EQ(ReadFile(d / "target.mkv"), "t");
}

TEST(FsutilDelete, FolderTreeGoesWithReadOnlyHiddenAndNestedEntries) {
  TempDir d;
  const std::string split = d / "split";
  fs::create_directories(split + "/inner/deeper");
  WriteFile(split + "/movie-001.mkv", "1");
  WriteFile(split + "/.hidden", "h");
  WriteFile(split + "/inner/ro.mkv", "r");
  WriteFile(split + "/inner/deeper/x", "x");
  MakeReadOnly(split + "/movie-001.mkv");
  MakeReadOnly(split + "/inner/ro.mkv");
  WriteFile(d / "keep.mkv", "k");
  MakeReadOnly(d / "keep.mkv");
  fs::create_symlink(d / "keep.mkv", split + "/link.mkv");
  fs::create_directory(d / "outside");
  WriteFile(d / "outside" + "/kept.txt", "o");
  fs::create_directory_symlink(d / "outside", split + "/dirlink");

  DeleteFolderTree(split);
  EXPECT_FALSE(fs::exists(split));
  // Links are removed, not followed: what they point to outside the tree stays.
  EXPECT_EQ(ReadFile(d / "keep.mkv"), "k");
  EXPECT_EQ(fs::status(d / "keep.mkv").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(ReadFile(d / "outside" + "/kept.txt"), "o");
  // A link given as the folder itself goes as a link.
  fs::create_directory_symlink(d / "outside", d / "split-link");
  DeleteFolderTree(d / "split-link");
  EXPECT_FALSE(fs::exists(fs::symlink_status(d / "split-link")));
  EXPECT_EQ(ReadFile(d / "outside" + "/kept.txt"), "o");
  EXPECT_THROW(DeleteFolderTree(d / "missing"), fs::filesystem_error);
}

// Megabytes of the file at path that sit in the page cache.
size_t CachedMegabytes(const std::string& path) {
  const size_t size = static_cast<size_t>(fs::file_size(path)), page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  int fd = open(path.c_str(), O_RDONLY);
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  std::vector<unsigned char> resident((size + page - 1) / page);
  mincore(map, size, resident.data());
  munmap(map, size);
  close(fd);
  size_t pages = 0;
  for (unsigned char r : resident) pages += r & 1;
  return pages * page >> 20;
}

// A writer with its own descriptor, and one (stdio, as GStreamer's file sink) followed by path:
// every byte lands, the header written again at the end included, and the cache keeps little.
TEST(FsutilWriteBehind, BigFilesLandWholeThroughAFewWindowsOfCache) {
  TempDir d;
  struct statfs fsInfo {};
  ASSERT_EQ(statfs(d.path().c_str(), &fsInfo), 0);
  const bool dropsPages = fsInfo.f_type != TMPFS_MAGIC;
  std::string block(1 << 20, '\0');
  const int blocks = 192;
  auto fill = [&block](int i) { std::fill(block.begin(), block.end(), static_cast<char>('a' + i % 26)); };

  const std::string own = d / "own.bin";
  int fd = open(own.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  WriteBehind behind(fd);
  for (int i = 0; i < blocks; ++i) {
    fill(i);
    ASSERT_EQ(write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    behind.Written(static_cast<uint64_t>(i + 1) << 20);
  }
  close(fd);

  const std::string followed = d / "followed.bin";
  FILE* out = std::fopen(followed.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  {
    WriteBehind beside(followed);
    for (int i = 0; i < blocks; ++i) {
      beside.Written(static_cast<uint64_t>(i) << 20);
      fill(i);
      ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), out), block.size());
    }
    std::fseek(out, 0, SEEK_SET);
    std::fputs("HEADER", out);
  }
  ASSERT_EQ(std::fclose(out), 0);

  for (const std::string& path : {own, followed}) {
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(blocks) << 20) << path;
    for (int i = 0; i < blocks; ++i) {
      const size_t at = (static_cast<size_t>(i) << 20) + (i == 0 ? 6 : 0);
      ASSERT_EQ(bytes[at], 'a' + i % 26) << path << " block " << i;
      ASSERT_EQ(bytes[at + (1 << 20) - (i == 0 ? 7 : 1)], 'a' + i % 26) << path << " block " << i;
    }
    if (path == followed) {
      EXPECT_EQ(bytes.substr(0, 6), "HEADER");
    }
  }
  if (!dropsPages) GTEST_SKIP() << "the temporary folder is in memory: its pages cannot leave the cache";
  // Reading the files above brought them back; written again, each keeps at most three windows.
  fs::remove(own);
  fd = open(own.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  WriteBehind again(fd);
  for (int i = 0; i < blocks; ++i) {
    ASSERT_EQ(write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    again.Written(static_cast<uint64_t>(i + 1) << 20);
  }
  close(fd);
  EXPECT_LE(CachedMegabytes(own), 96u);
}

}  // namespace
}  // namespace parvela

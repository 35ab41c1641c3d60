#include "engine/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/Bytes.h"

namespace kelvora {
namespace {

using namespace test;

TEST(File, BufferedReadsSkipsAndLargeWritesRoundTrip) {
    TempDir dir;
    Bytes data(300000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    }
    {
        CFile out;
        ASSERT_TRUE(out.CreateAlways(dir.File("f")));
        ASSERT_TRUE(out.Write(data.data(), 10));           // buffered
        ASSERT_TRUE(out.Write(data.data() + 10, 200000));  // larger than the buffer
        ASSERT_TRUE(out.Write(data.data() + 200010, data.size() - 200010));
        EXPECT_EQ(out.Size(), static_cast<int64_t>(data.size()));
        const uint8_t patch[2] = {0xEE, 0xFF};
        ASSERT_TRUE(out.WriteAt(4, patch, 2));
        data[4] = 0xEE;
        data[5] = 0xFF;
        EXPECT_TRUE(out.Close());
    }
    EXPECT_EQ(ReadFileBytes(dir.File("f")), data);

    CFile in;
    ASSERT_TRUE(in.OpenRead(dir.File("f")));
    uint8_t b[3];
    ASSERT_TRUE(in.ReadExact(b, 3));
    EXPECT_EQ(b[2], data[2]);
    ASSERT_TRUE(in.Skip(100000));  // beyond what the buffer holds
    ASSERT_TRUE(in.ReadExact(b, 1));
    EXPECT_EQ(b[0], data[100003]);
    ASSERT_TRUE(in.Skip(5));  // inside the buffer
    ASSERT_TRUE(in.ReadExact(b, 1));
    EXPECT_EQ(b[0], data[100009]);
    ASSERT_TRUE(in.Seek(static_cast<int64_t>(data.size()) - 2));
    EXPECT_EQ(in.Read(b, 3), 2);
    EXPECT_EQ(in.Read(b, 3), 0);
    EXPECT_FALSE(in.Write(b, 1));  // opened for reading
}

TEST(File, AFullDiskIsNeverTakenForSuccess) {
    CFile out;
    ASSERT_TRUE(out.CreateAlways("/dev/full"));
    const Bytes block(1000, 1);
    // The first small write only fills the buffer; the failure shows at the latest on Close.
    out.Write(block.data(), block.size());
    Bytes big(200000, 2);
    EXPECT_FALSE(out.Write(big.data(), big.size()));
    EXPECT_TRUE(out.WriteFailed());
    EXPECT_FALSE(out.Write(block.data(), 1));  // stays failed
    EXPECT_FALSE(out.Close());

    CFile small;
    ASSERT_TRUE(small.CreateAlways("/dev/full"));
    ASSERT_TRUE(small.Write(block.data(), 10));
    EXPECT_FALSE(small.Close());
}

TEST(File, CreateNewAndRenameNeverReplaceAFile) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("taken"), {1}));
    ASSERT_TRUE(WriteFileBytes(dir.File("from"), {2}));
    CFile f;
    EXPECT_FALSE(f.CreateNew(dir.File("taken")));
    EXPECT_EQ(ReadFileBytes(dir.File("taken")), Bytes{1});
    EXPECT_FALSE(RenameNoReplace(dir.File("from"), dir.File("taken")));
    EXPECT_EQ(ReadFileBytes(dir.File("taken")), Bytes{1});
    EXPECT_TRUE(RenameNoReplace(dir.File("from"), dir.File("free")));
    EXPECT_EQ(ReadFileBytes(dir.File("free")), Bytes{2});
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"free", "taken"}));
    EXPECT_TRUE(RemoveFile(dir.File("free")));
    EXPECT_TRUE(RemoveFile(dir.File("free")));  // already gone: fine
    EXPECT_FALSE(f.OpenRead(dir.path()));       // a folder is not a file to read
    EXPECT_TRUE(MakeFolder(dir.File("sub")));
    EXPECT_TRUE(MakeFolder(dir.File("sub")));
    EXPECT_FALSE(MakeFolder(dir.File("taken")));
}

}  // namespace
}  // namespace kelvora

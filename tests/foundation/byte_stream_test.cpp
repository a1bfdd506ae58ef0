#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/byte_stream.h"
#include "test_support.h"

namespace {

// The same checks against every kind of input stream over "hello".
void CheckInput(ByteInput& in, const std::string& kind) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(in.GetByte(), 'h');
    EXPECT_TRUE(in.PutBack('X'));
    EXPECT_FALSE(in.PutBack('Y')) << "only one byte can wait";
    EXPECT_EQ(in.Tell(), 0);
    char buffer[8] = {};
    EXPECT_EQ(in.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "Xel");
    EXPECT_EQ(in.Read(buffer, 8), 2u);
    EXPECT_TRUE(in.Eof());
    EXPECT_EQ(in.GetByte(), -1);
    in.ClearFlags();
    EXPECT_FALSE(in.Eof());
    EXPECT_TRUE(in.Seek(1));
    EXPECT_EQ(in.GetByte(), 'e');
    EXPECT_EQ(in.Tell(), 2);
    EXPECT_FALSE(in.Seek(-1));
    EXPECT_TRUE(in.Error());
}

TEST(ByteStream, MemoryAndFileInputsBehaveAlike) {
    MemoryInput memory("hello", 5);
    CheckInput(memory, "memory");

    vela::test::TempDir dir;
    vela::test::WriteFileText(dir / "hello", "hello");
    FileInput file((dir / "hello").string().c_str());
    ASSERT_TRUE(file.IsOpen());
    CheckInput(file, "file");
}

TEST(ByteStream, OutputsCollectAndReportFailures) {
    MemoryOutput memory;
    EXPECT_TRUE(memory.Write("ab", 2));
    EXPECT_TRUE(memory.PutByte('c'));
    EXPECT_EQ(std::string(memory.Bytes().begin(), memory.Bytes().end()), "abc");

    FileOutput closed(nullptr);
    EXPECT_FALSE(closed.Write("x", 1));
    EXPECT_TRUE(closed.Error());
    closed.ClearFlags();
    EXPECT_FALSE(closed.Error());
}

}  // namespace

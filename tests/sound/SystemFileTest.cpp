#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_thread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace system_file_test {

namespace {

class FileLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    path = std::string(QMV_BINARY_DIR) + "/sound-file-layer-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
    data.resize(10000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + i / 256);
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  void TearDown() override { std::remove(path.c_str()); }

  std::string path;
  std::vector<uint8_t> data;
};

}  // namespace

TEST_F(FileLayer, BufferedReadsMatchTheFileAcrossBufferEdges) {
  for (int kind : {SYSTEMFILE_DISK, SYSTEMFILE_BUFFERED}) {
    SystemFileHandle *h = SystemFile_Open(path.c_str(), kind, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->length, 10000);
    std::vector<uint8_t> got(5000);
    ASSERT_EQ(SystemFile_Read(got.data(), 1, 5000, h), 5000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    if (kind == SYSTEMFILE_BUFFERED) {
      EXPECT_EQ(h->bufferOffset, 904);  // 4096 read directly, 904 copied from the buffer
    }
    for (int64_t p : {4999, 2047, 2048, 9000, 4100}) {
      SystemFile_Seek(h, p, SEEK_SET);
      EXPECT_EQ(SystemFile_Tell(h), p);
      uint8_t b[3];
      ASSERT_EQ(SystemFile_Read(b, 1, 3, h), 3);
      EXPECT_EQ(b[0], data[p]);
      EXPECT_EQ(b[2], data[p + 2]);
    }
    SystemFile_Seek(h, 9998, SEEK_SET);
    uint8_t tail[8];
    EXPECT_EQ(SystemFile_Read(tail, 1, 8, h), 2);  // cut at the end of the file
    SystemFile_Close(h);
  }
}

TEST_F(FileLayer, SeekInsideTheBufferedWindowKeepsTheStream) {
  SystemFileHandle *h = SystemFile_Open(path.c_str(), SYSTEMFILE_BUFFERED, 0);
  ASSERT_NE(h, nullptr);
  uint8_t b[10];
  SystemFile_Read(b, 1, 10, h);
  const long streamBefore = std::ftell(h->stream);
  SystemFile_Seek(h, 1500, SEEK_SET);
  EXPECT_EQ(std::ftell(h->stream), streamBefore);
  EXPECT_EQ(SystemFile_ReadByte(h), data[1500]);
  SystemFile_Close(h);
}

TEST_F(FileLayer, StartAndEndOffsetsMakeAWindow) {
  SystemFileHandle *h = SystemFile_Open(path.c_str(), SYSTEMFILE_BUFFERED, 0);
  ASSERT_NE(h, nullptr);
  SystemFile_SetStartOffset(h, 100);
  SystemFile_SetEndOffset(h, 199);
  EXPECT_EQ(SystemFile_Seek(h, 0, SEEK_SET), 100);
  EXPECT_EQ(SystemFile_Tell(h), 0);
  uint16_t words[80];
  // 100 bytes remain: only whole 4-byte elements up to the last byte.
  SystemFile_Seek(h, 2, SEEK_SET);
  EXPECT_EQ(SystemFile_Read(words, 4, 40, h), 96);
  EXPECT_EQ(SystemFile_Read(words, 1, 10, h), 2);
  EXPECT_EQ(SystemFile_Read(words, 1, 10, h), 0);  // never negative at the window end
  // Relative and end seeks resolve inside the window.
  EXPECT_EQ(SystemFile_Seek(h, -10, SEEK_END), 190);
  EXPECT_EQ(SystemFile_Seek(h, 5, SEEK_CUR), 195);
  EXPECT_EQ(SystemFile_Seek(h, 500, SEEK_CUR), 200);
  EXPECT_EQ(SystemFile_Seek(h, -500, SEEK_CUR), 100);
  EXPECT_EQ(SystemFile_Seek(h, 0, 7), -1);
  SystemFile_Close(h);
}

TEST(FileLayerMemory, MemoryBlocksAndByteSwap) {
  const uint8_t block[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
  EXPECT_EQ(SystemFile_Open(block, SYSTEMFILE_MEMORY, 0), nullptr);
  EXPECT_EQ(SystemFile_Open(nullptr, SYSTEMFILE_MEMORY, 5), nullptr);
  SystemFileHandle *h = SystemFile_Open(block, SYSTEMFILE_MEMORY, 5);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(SystemFile_ReadWord(h), 0x3412);
  h->kind |= SYSTEMFILE_BYTESWAP;
  EXPECT_EQ(SystemFile_ReadWord(h), 0x5678);
  EXPECT_EQ(SystemFile_ReadWord(h), 0x9A);  // the last, partial element
  SystemFile_Seek(h, 0, SEEK_SET);
  uint32_t v = 0;
  EXPECT_EQ(SystemFile_Read(&v, 4, 1, h), 4);
  EXPECT_EQ(v, 0x12345678u);
  EXPECT_EQ(SystemFile_Read(nullptr, 1, 1, h), -1);
  EXPECT_EQ(SystemFile_Read(&v, 1, 1, nullptr), -1);
  SystemFile_Close(h);
  SystemFile_Close(nullptr);
}

TEST(FileLayerMemory, MissingFileFailsWithoutLeaking) {
  const int64_t before = SystemMemory_BytesInUse();
  EXPECT_EQ(SystemFile_Open("/nonexistent/sound.wav", SYSTEMFILE_BUFFERED, 0), nullptr);
  EXPECT_EQ(SystemFile_Open("x", SYSTEMFILE_USER, 0), nullptr);  // no callbacks installed
  EXPECT_EQ(SystemMemory_BytesInUse(), before);
}

TEST_F(FileLayer, QueuedRequestsRunInOrderOnTheFileThread) {
  const bool saved = SystemThread_NonRealtime();
  SystemThread_SetNonRealtime(false);
  SystemFileHandle *h = SystemFile_Open(path.c_str(), SYSTEMFILE_BUFFERED, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(SystemFile_SetSynchronous(h, false));
  std::vector<uint8_t> first(3000), second(100);
  EXPECT_EQ(SystemFile_Read(first.data(), 1, 3000, h), 3000);  // reported at once
  EXPECT_EQ(SystemFile_Tell(h), 3000);
  EXPECT_EQ(SystemFile_Seek(h, 7000, SEEK_SET), 7000);
  EXPECT_EQ(SystemFile_Read(second.data(), 1, 100, h), 100);
  EXPECT_EQ(SystemFile_Seek(h, 20, SEEK_CUR), 7120);
  SystemFile_WaitPending(h);
  EXPECT_EQ(h->pending, 0);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), data.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), data.begin() + 7000));
  ASSERT_TRUE(SystemFile_SetSynchronous(h, true));
  EXPECT_EQ(SystemFile_ReadByte(h), data[7120]);
  SystemFile_Close(h);
  SystemFile_StopThread();
  SystemFile_StopThread();  // harmless when no thread runs
  SystemThread_SetNonRealtime(true);
  SystemFileHandle *n = SystemFile_Open(path.c_str(), SYSTEMFILE_BUFFERED, 0);
  EXPECT_FALSE(SystemFile_SetSynchronous(n, false));  // no threads without realtime output
  SystemFile_Close(n);
  SystemThread_SetNonRealtime(saved);
}

}  // namespace system_file_test
